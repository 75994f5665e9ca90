// Small owners for Win32 resources: each kind is released where it was
// acquired, whatever path the function leaves by.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace quenda {

// Owner of a value whose "no resource" marker depends on the API that made it
// (NULL for OpenProcess, INVALID_HANDLE_VALUE for CreateFileW and Toolhelp).
template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // For out-parameters of APIs such as RegCreateKeyExW.
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) noexcept {
        if (valid()) Traits::Close(value_);
        value_ = value;
    }

private:
    T value_;
};

struct NullHandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct CoTaskMemTraits {
    static void* Invalid() noexcept { return nullptr; }
    static void Close(void* p) noexcept { ::CoTaskMemFree(p); }
};

using unique_handle = UniqueResource<HANDLE, NullHandleTraits>;    // OpenProcess, CreateProcess
using unique_hfile = UniqueResource<HANDLE, FileHandleTraits>;     // CreateFileW, Toolhelp snapshots
using unique_hkey = UniqueResource<HKEY, RegKeyTraits>;
using unique_hfind = UniqueResource<HANDLE, FindHandleTraits>;
using unique_cotaskmem = UniqueResource<void*, CoTaskMemTraits>;   // PIDLs and shell strings

// A COM interface pointer released by its holder.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};

// COM for the current thread for the lifetime of the scope. Uninitialises
// only what it initialised itself.
class CoInitScope {
public:
    CoInitScope() noexcept : hr_(::CoInitialize(nullptr)) {}
    ~CoInitScope() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    CoInitScope(const CoInitScope&) = delete;
    CoInitScope& operator=(const CoInitScope&) = delete;
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace quenda
