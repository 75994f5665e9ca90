// A program that shows one message box ("PlainBox") and leaves its DLL search
// as Windows sets it: the baseline the launcher's restricted search is
// compared with.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ::MessageBoxW(nullptr, L"A window, so that the theme support gets loaded.", L"PlainBox", MB_OK);
    return 0;
}
