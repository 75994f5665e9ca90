#include "integration/desktop_shortcut.h"

// Placeholder until the shortcut step lands.
int UpdateDesktopShortcut(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                          const wchar_t*) {
    return -1;
}
