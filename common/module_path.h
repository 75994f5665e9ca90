// The full path of a module of this process, whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quenda {

// GetModuleFileNameW cuts the path silently when the buffer is too small, and
// a cut path would name some other file, so the buffer grows until the answer
// fits. Empty on failure, with the reason in *error when asked for.
inline std::wstring ModulePath(HMODULE module = nullptr, DWORD* error = nullptr) {
    // Windows paths end at 32767 units; a buffer still full beyond that is not
    // growing towards an answer.
    constexpr DWORD kLongest = 32768;
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), capacity);
        if (length == 0) {
            if (error) *error = ::GetLastError();
            return std::wstring();
        }
        if (length < capacity) return std::wstring(buffer.data(), length);
        if (capacity >= kLongest) {
            if (error) *error = ERROR_INSUFFICIENT_BUFFER;
            return std::wstring();
        }
        buffer.assign(capacity * 2, L'\0');
    }
}

}  // namespace quenda
