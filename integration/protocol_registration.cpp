#include "integration/protocol_registration.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "common/module_path.h"
#include "common/win_handle.h"
#include "integration/open_command.h"
#include "log/app_logger.h"

void WriteRegFun(const wchar_t* sub_key) {
    // The whole path: a cut one would register some other program.
    DWORD error = 0;
    const std::wstring module_path = quenda::ModulePath(nullptr, &error);
    if (module_path.empty()) {
        std::wprintf(L"GetModuleFileName failed w/err 0x%08lx\n", static_cast<unsigned long>(error));
        return;
    }
    if (!integration::IsProtocolCommandKey(sub_key)) return;

    quenda::unique_hkey key;
    // Setting one value is all the launcher does with the key, so it asks
    // for no more than that; creation of missing keys needs no extra right.
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }

    const std::wstring command = integration::OpenCommandText(module_path);
    const LSTATUS status =
        ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>(integration::OpenCommandBytes(command.size())));
    if (status != ERROR_SUCCESS) QLOG_INFO("WriteRegFun") << "set reg failure: ";
}
