// A console helper for the demo script and the shell-level tests: it reads
// shell links and registry values, answers message boxes, opens URLs and
// prints what the demo client recorded, all through Win32 so that the script
// shows the system's view.
//
//   showlink <lnk>
//   regshow <HKCR|HKCU> <key>
//   regset  <HKCU> <key> <text>         default value, REG_SZ
//   answer  <caption> <ok|cancel> [seconds]
//   records <file> [text|bytes]
//   desktop                             the all-users desktop folder
//   kill    <exe name>
//   open    <url>                       ShellExecuteW, as a browser hands a URL over
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/win_handle.h"
#include "democlient/record_format.h"

namespace {

void Print(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    std::fputs(out.c_str(), stdout);
    std::fputs("\n", stdout);
}

std::string ReadAll(const std::wstring& path) {
    quenda::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

int ShowLink(const std::wstring& lnk) {
    quenda::CoInitScope com;
    quenda::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return 1;
    quenda::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || FAILED(file->Load(lnk.c_str(), STGM_READ))) {
        Print(L"  (no such shortcut) " + lnk);
        return 1;
    }
    wchar_t text[1024] = {};
    int icon_index = 0;
    link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    Print(L"  target:      " + std::wstring(text));
    text[0] = 0;
    link->GetArguments(text, 1024);
    Print(L"  arguments:   " + std::wstring(text));
    text[0] = 0;
    link->GetWorkingDirectory(text, 1024);
    Print(L"  working dir: " + std::wstring(text));
    text[0] = 0;
    link->GetDescription(text, 1024);
    Print(L"  description: " + std::wstring(text));
    text[0] = 0;
    link->GetIconLocation(text, 1024, &icon_index);
    Print(L"  icon:        " + std::wstring(text) + L"," + std::to_wstring(icon_index));
    return 0;
}

HKEY Hive(const std::wstring& name) { return name == L"HKCR" ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER; }

int RegShow(const std::wstring& hive, const std::wstring& key) {
    quenda::unique_hkey k;
    if (::RegOpenKeyExW(Hive(hive), key.c_str(), 0, KEY_QUERY_VALUE, k.put()) != ERROR_SUCCESS) {
        Print(L"  (no key) " + key);
        return 1;
    }
    std::vector<BYTE> data(65536);
    DWORD type = 0, size = static_cast<DWORD>(data.size() - 2);
    if (::RegQueryValueExW(k.get(), L"", nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return 1;
    Print(L"  type " + std::wstring(type == REG_SZ ? L"REG_SZ" : L"other") + L", " + std::to_wstring(size) +
          L" bytes: " + std::wstring(reinterpret_cast<const wchar_t*>(data.data())));
    return 0;
}

int RegSet(const std::wstring& hive, const std::wstring& key, const std::wstring& text) {
    quenda::unique_hkey k;
    if (::RegCreateKeyExW(Hive(hive), key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(), nullptr) !=
        ERROR_SUCCESS)
        return 1;
    return ::RegSetValueExW(k.get(), L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS
               ? 0
               : 1;
}

int Answer(const std::wstring& caption, const std::wstring& button, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        HWND box = ::FindWindowW(L"#32770", caption.c_str());
        if (box && ::IsWindowVisible(box)) {
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
            Print(L"  message box \"" + caption + L"\": " + text + L"  -> " + button);
            const int id = button == L"ok" ? IDOK : IDCANCEL;
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
            return 0;
        }
        ::Sleep(50);
    }
    Print(L"  (no message box \"" + caption + L"\")");
    return 1;
}

int Records(const std::wstring& path, bool as_bytes) {
    int n = 0;
    for (const std::string& record : demo_records::Decode(ReadAll(path))) {
        const std::size_t size = record.size();
        std::string shown;
        for (unsigned char c : record) {
            if (as_bytes && (c < 0x20 || c >= 0x7F)) {
                char hex[8];
                std::snprintf(hex, sizeof(hex), "\\x%02X", c);
                shown += hex;
            } else {
                shown += static_cast<char>(c);
            }
        }
        std::printf("  #%d (%u bytes): %s\n", ++n, static_cast<unsigned>(size), shown.c_str());
    }
    if (n == 0) std::printf("  (nothing recorded)\n");
    return 0;
}

int Kill(const std::wstring& name) {
    quenda::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
        if (name == entry.szExeFile) {
            quenda::unique_handle p(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
            if (p) ::TerminateProcess(p.get(), 0);
        }
    }
    return 0;
}

int Open(const std::wstring& url) {
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW));
    if (result <= 32) Print(L"  ShellExecuteW failed: " + std::to_wstring(result));
    return result > 32 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> a(argv, argv + argc);
    a.resize(6);
    const std::wstring& cmd = a[1];
    if (cmd == L"showlink") return ShowLink(a[2]);
    if (cmd == L"regshow") return RegShow(a[2], a[3]);
    if (cmd == L"regset") return RegSet(a[2], a[3], a[4]);
    if (cmd == L"answer") return Answer(a[2], a[3], a[4].empty() ? 20 : _wtoi(a[4].c_str()));
    if (cmd == L"records") return Records(a[2], a[3] == L"bytes");
    if (cmd == L"kill") return Kill(a[2]);
    if (cmd == L"open") return Open(a[2]);
    if (cmd == L"desktop") {
        wchar_t path[MAX_PATH] = {};
        ::SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, 0, path);
        Print(path);
        return 0;
    }
    Print(L"usage: see the comment at the top of QuendaDemoTool.cpp");
    return 2;
}
