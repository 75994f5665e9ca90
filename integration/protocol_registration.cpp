#include "integration/protocol_registration.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/win_handle.h"
#include "integration/open_command.h"
#include "log/app_logger.h"

namespace {

// Windows paths end at 32767 units; a buffer that still comes back full
// beyond that is not growing towards an answer.
constexpr DWORD kLongestModulePath = 32768;

// The launcher's own path, whole: GetModuleFileNameW cuts the path silently
// when the buffer is too small, and a cut path would register some other
// program, so the buffer grows until the answer fits.
bool ReadModulePath(std::wstring& path, DWORD& error) {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), capacity);
        if (length == 0) {
            error = ::GetLastError();
            return false;
        }
        if (length < capacity) {
            path.assign(buffer.data(), length);
            return true;
        }
        if (capacity >= kLongestModulePath) {
            error = ERROR_INSUFFICIENT_BUFFER;
            return false;
        }
        buffer.assign(capacity * 2, L'\0');
    }
}

}  // namespace

void WriteRegFun(const wchar_t* sub_key) {
    std::wstring module_path;
    DWORD error = 0;
    if (!ReadModulePath(module_path, error)) {
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
    std::vector<wchar_t> data(integration::OpenCommandUnits(command.size()), L'\0');
    command.copy(data.data(), command.size());
    const LSTATUS status = ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                            static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) QLOG_INFO("WriteRegFun") << "set reg failure: ";
}
