#include "launcher/launch_info.h"

#include <windows.h>

#include "launcher/invocation.h"
#include "log/app_logger.h"
#include "log/narrow_for_log.h"

void LogLaunchInfo(const std::wstring& client_program, const std::wstring& client_params) {
    QLOG_INFO("wWinMain") << L"class path: " << client_program;
    QLOG_INFO("wWinMain") << L"par: " << client_params;
}

void AppendAdminFlag(std::wstring& client_params) {
    // The top bit says the key is down at this very moment.
    const bool held = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 && (::GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    AppendAdminFlagIfHeld(client_params, held);
}
