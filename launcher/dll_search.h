// Where the launcher lets Windows look for DLLs loaded by name.
#pragma once

// Limits the search for DLLs that are loaded by name after this call (by the
// launcher, or by system code it calls, such as the shell or the window
// manager's theme support) to the system folder. The launcher runs elevated
// and is often started from a download folder, where anyone may have left a
// DLL under a system name. Returns false when this Windows cannot restrict
// the search (Windows 7 without its loader update); the current folder is at
// least taken out of the search then.
bool RestrictDllSearchToSystemFolder();
