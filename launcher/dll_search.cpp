#include "launcher/dll_search.h"

#include <windows.h>

bool RestrictDllSearchToSystemFolder() {
    // Looked up rather than imported: an import would keep the launcher from
    // starting at all on a Windows 7 without the loader update.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (found) {
        const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
        if (set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    }
    ::SetDllDirectoryW(L"");
    return false;
}
