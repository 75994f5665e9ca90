// The elevated launcher's guards, shown against the built exe: a DLL planted
// beside it under a system name is not loaded, and the client's pipe server
// learns who calls but cannot act as the launcher.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "launcher/tests/instance_test_support.h"

namespace {

// Wine prefers its own builtin DLLs, which would hide the search order; this
// per-program setting makes it look for a native DLL first, along the
// program's search path, as Windows does for any DLL it does not know.
class PreferNativeDll : public it::ScopedUserValue {
public:
    PreferNativeDll(const std::wstring& exe_name, const wchar_t* dll)
        : ScopedUserValue(L"Software\\Wine\\AppDefaults\\" + exe_name, L"DllOverrides", dll, L"native,builtin") {}
};

// Runs exe until it shows a message box with this caption, notes whether the
// planted DLL was loaded by then, and closes the box.
bool LoadsPlantedDllBeforeItsBox(const std::wstring& exe, const std::wstring& caption, const std::wstring& marker,
                                 bool* box_seen) {
    *box_seen = false;
    bool loaded = false;
    const qt::RunResult run = qt::RunProcess(exe, L"", L"", 30000, [&](HANDLE, DWORD pid) {
        const HWND box = qt::WaitForDialog(caption, pid, 20000);
        if (!box) return;
        *box_seen = true;
        loaded = qt::FileExists(marker);
        qt::AnswerDialog(box, IDOK);
    });
    EXPECT_FALSE(run.timed_out);
    return loaded;
}

// The theme DLL is what every windowed program loads by name once it opens a
// window; the launcher does, for its message boxes. Planted beside a program
// that leaves the search as it is, it is loaded; beside the launcher, not.
TEST(Hardening, DllPlantedBesideTheLauncherIsNotLoaded) {
    qt::ScratchDir dir(L"plant");
    const std::wstring launcher = dir / L"qplant.exe";
    const std::wstring baseline = dir / L"qplainbox.exe";
    ASSERT_TRUE(::CopyFileW(qt::LauncherExe().c_str(), launcher.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(qt::BuiltFile(L"PLAIN_BOX_EXE").c_str(), baseline.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(qt::BuiltFile(L"PLANTED_DLL").c_str(), (dir / L"uxtheme.dll").c_str(), FALSE));
    const std::wstring marker = dir / L"uxtheme.dll.loaded";
    PreferNativeDll launcher_order(L"qplant.exe", L"uxtheme");
    PreferNativeDll baseline_order(L"qplainbox.exe", L"uxtheme");

    bool box_seen = false;
    ASSERT_TRUE(LoadsPlantedDllBeforeItsBox(baseline, L"PlainBox", marker, &box_seen))
        << "the planted DLL is not picked up at all here, so the launcher's result would prove nothing";
    ASSERT_TRUE(box_seen);
    ASSERT_TRUE(::DeleteFileW(marker.c_str()));

    // No ProductConfig.xml beside it: the launcher reports that in a box.
    const bool loaded = LoadsPlantedDllBeforeItsBox(launcher, L"\x9519\x8BEF", marker, &box_seen);
    EXPECT_TRUE(box_seen);
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(qt::FileExists(marker));
}

// Serves one connection on the pipe and reports the impersonation level its
// client allowed, and the bytes it sent.
struct ServedConnection {
    bool connected = false;
    bool impersonated = false;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    std::string message;
};

class OneShotServer {
public:
    explicit OneShotServer(const std::wstring& pipe)
        : path_(L"\\\\.\\pipe\\" + pipe),
          pipe_(::CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr)) {
        if (pipe_) thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotServer() { Finish(); }
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;

    bool listening() const { return static_cast<bool>(pipe_); }
    // Ends the wait for a client that never came (a connection of our own
    // releases it) and returns what was served.
    const ServedConnection& Finish() {
        if (thread_.joinable()) {
            if (!served_) {
                quenda::unique_hfile(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            }
            thread_.join();
        }
        return result_;
    }
    void WaitServed(DWORD timeout_ms) {
        qt::WaitUntil([this] { return served_.load(); }, timeout_ms);
    }

private:
    void Serve() {
        if (!::ConnectNamedPipe(pipe_.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return;
        result_.connected = true;
        // The client's token can be taken on only after something was read.
        char chunk[4096];
        DWORD got = 0;
        while (::ReadFile(pipe_.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
            result_.message.append(chunk, got);
            if (result_.message.find('\0') != std::string::npos) break;
        }
        if (::ImpersonateNamedPipeClient(pipe_.get())) {
            quenda::unique_handle token;
            if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())) {
                DWORD size = 0;
                result_.impersonated = ::GetTokenInformation(token.get(), TokenImpersonationLevel, &result_.level,
                                                             sizeof(result_.level), &size) != FALSE;
            }
            ::RevertToSelf();
        }
        ::DisconnectNamedPipe(pipe_.get());
        served_ = true;
    }

    std::wstring path_;
    quenda::unique_hfile pipe_;
    std::thread thread_;
    ServedConnection result_;
    std::atomic<bool> served_{false};
};

std::wstring PipeName(const wchar_t* hint) {
    return std::wstring(hint) + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount());
}

// Wine's pipe servers never take on their client's token (impersonating a
// pipe client impersonates the server itself there), so under Wine the
// level the launcher asks for is checked from its call instead, by
// launcher/tests/pipe_identification.sh.
bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// The launcher hands a URL to a running client: the message is unchanged,
// and the server gets no more than identification.
TEST(Hardening, ClientPipeServerCannotImpersonateTheLauncher) {
    const std::wstring client = L"qimpers.exe";
    const std::wstring pipe = PipeName(L"qimpers");
    qt::Installation inst(L"impersonate");
    inst.InstallClient(client);
    inst.WriteConfig(qt::Installation::MakeConfig("qimpers.exe", "qimpers", qt::ToUtf8(pipe)));
    // The client runs without a pipe of its own; the test serves its pipe.
    const it::RunningCopy running = it::StartCopy(inst.path(client), L"--no-pipe");
    ASSERT_TRUE(inst.WaitForClientStarts(client, 1));
    OneShotServer server(pipe);
    ASSERT_TRUE(server.listening());

    const it::PromptedRun result = it::RunAnswering(inst.launcher(), L"\"qimpers://lesson=4\"", it::Answer::Cancel);
    server.WaitServed(10000);
    const ServedConnection& served = server.Finish();
    qt::KillAll(client);

    EXPECT_EQ(result.prompts, 1);
    EXPECT_EQ(result.run.exit_code, 0u);
    ASSERT_TRUE(served.connected);
    EXPECT_EQ(served.message, std::string("lesson=4\"", 10));
    if (RunningUnderWine()) return;
    ASSERT_TRUE(served.impersonated);
    EXPECT_EQ(served.level, SecurityIdentification);
}

}  // namespace
