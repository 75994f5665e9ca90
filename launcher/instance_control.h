// Finding, and on consent terminating, running copies of the client program.
#pragma once

#include <string>

// True when the client may be started now: no copy runs, or termination of
// every copy has been requested (after the user agreed, or with force_run).
bool CheckRunningInstance(std::wstring client_name, bool force_run);

// Terminates every process whose executable file name equals the name
// (whole, case-sensitive). The launcher's own process is never included.
void TerminateProcessesByName(const std::wstring& name);

void EnableDebugPrivilege();
