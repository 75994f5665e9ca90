// Finding, and on consent terminating, running copies of the client program.
#pragma once

#include <string>

// True when the client may be started now: no copy runs, or termination of
// every copy has been requested (after the user agreed, or with force_run).
// False when the user declined to restart the running copy. Asks at most
// once per call, in the configured language.
bool CheckRunningInstance(std::wstring client_name, bool force_run);

// Terminates (exit code 0, without waiting) every process whose executable
// file name equals the name (whole, case-sensitive). The launcher's own
// process is never included, and an empty name matches nothing.
void TerminateProcessesByName(const std::wstring& name);

// Enables SeDebugPrivilege in the launcher's own token, so that copies run by
// other users or at a higher integrity can be opened for termination.
void EnableDebugPrivilege();
