#include "launcher/instance_control.h"

// Placeholder until the running-instance control lands.
bool CheckRunningInstance(std::wstring, bool) { return true; }
void TerminateProcessesByName(const std::wstring&) {}
void EnableDebugPrivilege() {}
