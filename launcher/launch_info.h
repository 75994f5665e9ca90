// Steps of the start path that touch the log and the keyboard.
#pragma once

#include <string>

void LogLaunchInfo(const std::wstring& client_program, const std::wstring& client_params);

// Appends " IsAdmin" while Ctrl and Alt are both held down.
void AppendAdminFlag(std::wstring& client_params);
