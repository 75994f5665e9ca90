// Quenda: starts the product's client with the parameters of a URL of the
// product's protocol, or hands them to the client that already runs.
#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <string>

#include "common/module_path.h"
#include "config/product_config.h"
#include "integration/desktop_shortcut.h"
#include "integration/protocol_registration.h"
#include "launcher/dll_search.h"
#include "launcher/instance_control.h"
#include "launcher/invocation.h"
#include "launcher/launch_info.h"
#include "launcher/pipe_forward.h"
#include "update/archive_extract.h"
#include "update/pending_update.h"

namespace {

const wchar_t* NameOrNull(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

// A client program that is the launcher itself would start the launcher
// again, which would start it again, without end.
bool IsLauncherItself(const std::wstring& client_program, const std::wstring& launcher_path) {
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = ::GetFullPathNameW(client_program.c_str(), MAX_PATH * 4, full, nullptr);
    return length > 0 && length < MAX_PATH * 4 && ::lstrcmpiW(full, launcher_path.c_str()) == 0;
}

void RefreshShortcut(const ProductConfig& config, const std::wstring& launcher_path,
                     const std::wstring& launcher_folder, const std::wstring& client_program) {
    const std::wstring stem = client_program.size() >= 4 ? client_program.substr(0, client_program.size() - 4)
                                                          : client_program;
    // The shortcut step keeps the old icon when this path is too long for it.
    const std::wstring icon = launcher_folder + L"//" + stem + L".ico";
    const bool chinese = ProductConfigFile::Instance().lang_cn;
    const std::wstring& old_name = chinese ? config.shortcut_cn : config.shortcut_en;
    const std::wstring& new_name = chinese ? config.shortcut_new_cn : config.shortcut_new_en;
    UpdateDesktopShortcut(NameOrNull(old_name), NameOrNull(new_name), launcher_path.c_str(), stem.c_str(),
                          icon.c_str(), launcher_folder.c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_tail, int) {
    // Before anything could load a DLL by name from the launcher's folder.
    RestrictDllSearchToSystemFolder();

    const SplitInvocation split = SplitForceRun(command_tail ? command_tail : L"");

    ProductConfig config;
    Args args;
    const bool settings_read = ProductConfigFile::Instance().ReadConfig(config, args);

    const bool may_start = CheckRunningInstance(config.ProgName, split.force_run);
    const std::wstring protocol = config.Protocol;
    const auto protocol_pos = FindProtocol(split.invocation, protocol);

    if (!may_start) {
        if (!protocol_pos) return 0;
        return ForwardToRunningClient(ExtractClientParams(split.invocation, protocol_pos, protocol.size()),
                                      config.Pipe);
    }

    const std::wstring command_key = protocol + L"\\shell\\open\\command";
    WriteRegFun(command_key.c_str());

    // Whole: a cut path would become the shortcut's target and working folder.
    const std::wstring launcher_path = quenda::ModulePath(instance);
    const std::wstring launcher_folder = std::filesystem::path(launcher_path).parent_path().wstring();
    ::SetCurrentDirectoryW(launcher_folder.c_str());

    std::wstring client_params = ExtractClientParams(split.invocation, protocol_pos, protocol.size());
    const std::wstring client_program = config.ProgName;
    LogLaunchInfo(client_program, client_params);

    ApplyPendingUpdate();
    ExtractUpdateArchive();

    if (settings_read) RefreshShortcut(config, launcher_path, launcher_folder, client_program);

    AppendAdminFlag(client_params);
    if (settings_read) AppendConfiguredArgs(client_params, args);

    // An empty program name would make the shell open the working folder in
    // a window instead: with no client configured there is nothing to start.
    if (!client_program.empty() && !IsLauncherItself(client_program, launcher_path)) {
        ::ShellExecuteW(nullptr, L"open", client_program.c_str(), client_params.c_str(), nullptr, SW_SHOW);
    }
    return 0;
}
