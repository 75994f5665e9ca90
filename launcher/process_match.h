// Which processes and pipe paths the instance control and the pipe hand-over
// accept. Pure logic, no Win32, so it also builds natively under sanitizers.
#pragma once

#include <cstddef>
#include <string>

// True when the executable file name held in exe_file (at most `capacity`
// units; the terminating zero may be missing when the name fills the field)
// equals `name` as a whole, case-sensitively. An empty name matches nothing,
// and a name that holds a folder or an embedded zero never equals a bare file
// name.
bool ExeNameMatches(const wchar_t* exe_file, std::size_t capacity, const std::wstring& name);

// True when a path, as the system has normalised it, still lies in the local
// pipe namespace "\\.\pipe\" (the prefix compared without regard to ASCII
// letter case). A pipe name with "..\" would otherwise reach device and file
// paths such as "\\.\C:\...".
bool IsLocalPipePath(const std::wstring& normalised_path);
