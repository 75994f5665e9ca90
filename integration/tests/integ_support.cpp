#include "integration/tests/integ_support.h"

#include <shlobj.h>

#include <atomic>

#include "common/win_handle.h"
#include "tests/support/harness.h"

namespace it {

namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// Puts a value back as it was read (or removes it when there was none).
void RestoreValue(HKEY root, const wchar_t* key, const wchar_t* name, const RegValue& saved) {
    quenda::unique_hkey handle;
    if (::RegOpenKeyExW(root, key, 0, KEY_SET_VALUE, handle.put()) != ERROR_SUCCESS) return;
    if (saved.status == ERROR_SUCCESS) {
        ::RegSetValueExW(handle.get(), name, 0, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
    } else {
        ::RegDeleteValueW(handle.get(), name);
    }
}

}  // namespace

std::wstring UniqueName(const std::wstring& prefix) {
    static std::atomic<unsigned> counter{0};
    return prefix + std::to_wstring(::GetCurrentProcessId()) + L"x" + std::to_wstring(counter++);
}

std::wstring RegValue::Text() const {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

RegValue ReadRegValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegValue value;
    quenda::unique_hkey handle;
    value.status = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, handle.put());
    if (value.status != ERROR_SUCCESS) return value;
    DWORD size = 0;
    value.status = ::RegQueryValueExW(handle.get(), name, nullptr, &value.type, nullptr, &size);
    if (value.status != ERROR_SUCCESS) return value;
    value.data.assign(size, 0);
    value.status = ::RegQueryValueExW(handle.get(), name, nullptr, &value.type, value.data.data(), &size);
    value.data.resize(size);
    return value;
}

bool WriteRegString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    quenda::unique_hkey handle;
    if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

ScopedKill::~ScopedKill() { qt::KillAll(exe_); }

namespace {
std::wstring FolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}
}  // namespace

std::wstring CommonDesktop() { return FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY); }
std::wstring UserDesktop() { return FolderPath(CSIDL_DESKTOPDIRECTORY); }

ScopedFiles::~ScopedFiles() {
    WIN32_FIND_DATAW data;
    std::vector<std::wstring> names;
    {
        quenda::unique_hfind find(::FindFirstFileW((folder_ + L"\\" + prefix_ + L"*").c_str(), &data));
        if (!find) return;
        do {
            names.push_back(data.cFileName);
        } while (::FindNextFileW(find.get(), &data));
    }
    for (const std::wstring& name : names) ::DeleteFileW((folder_ + L"\\" + name).c_str());
}

ScopedUserDesktop::ScopedUserDesktop(const std::wstring& folder) {
    saved_ = ReadRegValue(HKEY_CURRENT_USER, kShellFolders, L"Desktop");
    WriteRegString(HKEY_CURRENT_USER, kShellFolders, L"Desktop", folder);
}

ScopedUserDesktop::~ScopedUserDesktop() { RestoreValue(HKEY_CURRENT_USER, kShellFolders, L"Desktop", saved_); }

bool CreateLink(const std::wstring& path, const LinkInfo& info) {
    quenda::ComPtr<IShellLinkW> link;
    quenda::ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) {
        return false;
    }
    link->SetPath(info.target.c_str());
    link->SetArguments(info.arguments.c_str());
    link->SetWorkingDirectory(info.working_folder.c_str());
    link->SetDescription(info.description.c_str());
    link->SetIconLocation(info.icon.c_str(), info.icon_index);
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

LinkInfo ReadLink(const std::wstring& path) {
    LinkInfo info;
    quenda::ComPtr<IShellLinkW> link;
    quenda::ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return info;
    }
    info.loaded = true;
    wchar_t text[INFOTIPSIZE] = {};
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) info.arguments = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.working_folder = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) info.description = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &info.icon_index))) info.icon = text;
    return info;
}

}  // namespace it
