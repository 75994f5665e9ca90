// The start-up floor, timed under the same Wine as the launcher. It does
// nothing, except with "start:<program>", where it only starts that program
// through the shell, as the launcher's last step does.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int) {
    if (tail && std::wcsncmp(tail, L"start:", 6) == 0) {
        ::ShellExecuteW(nullptr, L"open", tail + 6, L"-x", nullptr, SW_SHOW);
    }
    return 0;
}
