#include "launcher/pipe_forward.h"

#include <windows.h>

#include <vector>

#include "common/win_handle.h"
#include "launcher/process_match.h"

namespace {

// "\\.\" paths are normalised before they are opened, so a pipe name with
// "..\" in it would open a device or a file (for instance "\\.\C:\...") and
// write the URL's text into it. The system's own normalisation decides.
bool StaysInPipeNamespace(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return false;
    std::vector<wchar_t> full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return false;
    return IsLocalPipePath(std::wstring(full.data(), length));
}

}  // namespace

int ForwardToRunningClient(const std::wstring& text, const std::wstring& pipe) {
    const std::wstring path = L"\\\\.\\Pipe\\" + pipe;
    if (!StaysInPipeNamespace(path)) return 1;

    // No waiting for a busy pipe and no retry: the running client either
    // takes the message now or the hand-over fails. The server may learn who
    // is calling but never act as the elevated launcher: identification is
    // the highest impersonation level it gets.
    quenda::unique_hfile connection(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                                  nullptr));
    if (!connection) return 1;

    // The size includes the terminating zero, which is part of the message.
    // The buffer is sized by the conversion, so a long text goes whole.
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
        std::vector<char> message(static_cast<std::size_t>(size), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, message.data(), size, nullptr, nullptr);
        DWORD written = 0;
        ::WriteFile(connection.get(), message.data(), static_cast<DWORD>(size), &written, nullptr);
    }
    return 0;
}
