// A DLL for planting beside a program under the name of a system DLL. When a
// process loads it, it leaves "<its own path>.loaded" beside itself, which is
// all the tests look for; it exports nothing.
#include <windows.h>

#include <string>
#include <vector>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return TRUE;
    const std::wstring marker = std::wstring(path.data(), length) + L".loaded";
    const HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}
