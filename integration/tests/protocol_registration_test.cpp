// The URL protocol's open command, as the built launcher leaves it in
// HKEY_CLASSES_ROOT, read back with RegQueryValueExW.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "integration/tests/integ_support.h"
#include "tests/support/harness.h"

namespace {

std::wstring CommandKey(const std::wstring& protocol) { return protocol + L"\\shell\\open\\command"; }

std::wstring ExpectedCommand(const std::wstring& launcher) { return L"\"" + launcher + L"\" \"%1\""; }

// An installation whose client runs without a pipe server, so that tests
// never meet over a pipe name.
void Prepare(qt::Installation& inst, const std::wstring& client, const std::wstring& protocol) {
    inst.InstallClient(client);
    inst.WriteConfig(qt::Installation::MakeConfig(qt::ToUtf8(client), qt::ToUtf8(protocol), "", {"--no-pipe"}));
}

// The value holds the command and its terminator, and the shell's own URL
// dispatch follows it: a URL of the protocol starts the launcher again.
TEST(ProtocolRegistration, StoresTheQuotedLauncherPathAndTheShellFollowsIt) {
    const std::wstring protocol = it::UniqueName(L"qreg");
    const std::wstring client = protocol + L".exe";
    it::ScopedKeyTree key(HKEY_CLASSES_ROOT, protocol);
    qt::Installation inst(L"integ reg");
    it::ScopedKill kill(client);  // before the folder goes, which a running client holds
    ASSERT_NE(inst.dir().find(L' '), std::wstring::npos);
    Prepare(inst, client, protocol);

    const qt::RunResult run = inst.RunLauncher(L"");
    ASSERT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_TRUE(inst.WaitForClientStarts(client, 1));

    const it::RegValue value = it::ReadRegValue(HKEY_CLASSES_ROOT, CommandKey(protocol), nullptr);
    ASSERT_EQ(value.status, ERROR_SUCCESS);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    const std::wstring expected = ExpectedCommand(inst.launcher());
    EXPECT_EQ(value.Text(), expected);
    EXPECT_EQ(value.data.size(), (expected.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(run.stderr_text.find("set reg failure"), std::string::npos) << run.stderr_text;

    qt::KillAll(client);  // a running client would make the launcher ask first
    const std::wstring url = protocol + L"://lesson=3";
    const auto shell = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_GT(shell, 32) << "the shell found no command for " << qt::ToUtf8(url);
    EXPECT_TRUE(inst.WaitForClientStarts(client, 2));
}

TEST(ProtocolRegistration, ANewInstallationTakesOverAndOtherValuesStay) {
    const std::wstring protocol = it::UniqueName(L"qreg");
    it::ScopedKeyTree key(HKEY_CLASSES_ROOT, protocol);
    ASSERT_TRUE(it::WriteRegString(HKEY_CLASSES_ROOT, protocol, nullptr, L"URL:Quenda test"));
    ASSERT_TRUE(it::WriteRegString(HKEY_CLASSES_ROOT, protocol, L"URL Protocol", L""));
    ASSERT_TRUE(it::WriteRegString(HKEY_CLASSES_ROOT, CommandKey(protocol), nullptr, L"\"C:\\gone\\Quenda.exe\" \"%1\""));
    ASSERT_TRUE(it::WriteRegString(HKEY_CLASSES_ROOT, CommandKey(protocol), L"Note", L"kept"));

    for (int round = 0; round < 2; ++round) {
        const std::wstring client = it::UniqueName(L"qregc") + L".exe";
        qt::Installation inst(L"integ-take");
        it::ScopedKill kill(client);
        Prepare(inst, client, protocol);
        const qt::RunResult run = inst.RunLauncher(L"\"" + protocol + L"://x=1\"");
        ASSERT_FALSE(run.timed_out);
        EXPECT_TRUE(inst.WaitForClientStarts(client, 1));
        const it::RegValue value = it::ReadRegValue(HKEY_CLASSES_ROOT, CommandKey(protocol), nullptr);
        ASSERT_EQ(value.status, ERROR_SUCCESS);
        EXPECT_EQ(value.Text(), ExpectedCommand(inst.launcher())) << "round " << round;
    }

    EXPECT_EQ(it::ReadRegValue(HKEY_CLASSES_ROOT, protocol, nullptr).Text(), L"URL:Quenda test");
    const it::RegValue marker = it::ReadRegValue(HKEY_CLASSES_ROOT, protocol, L"URL Protocol");
    EXPECT_EQ(marker.status, ERROR_SUCCESS);
    EXPECT_EQ(marker.Text(), L"");
    EXPECT_EQ(it::ReadRegValue(HKEY_CLASSES_ROOT, CommandKey(protocol), L"Note").Text(), L"kept");
}

// A launcher path too long for the usual 260-unit command (more than 252
// units) is registered whole, never cut short to a path that names another
// program; the value grows to hold the text and its terminator. (Wine starts
// no program from a path of 260 units or more, so this stays just below.)
TEST(ProtocolRegistration, ALongLauncherPathIsStoredWhole) {
    const std::wstring protocol = it::UniqueName(L"qreg");
    const std::wstring client = protocol + L".exe";
    it::ScopedKeyTree key(HKEY_CLASSES_ROOT, protocol);
    qt::ScratchDir root(L"integ-long");
    it::ScopedKill kill(client);
    const std::size_t kLauncherLength = 256;
    const std::wstring tail = L"\\Quenda.exe";
    ASSERT_LT(root.path().size() + 2 + tail.size(), kLauncherLength);
    const std::wstring dir =
        root.path() + L"\\" + std::wstring(kLauncherLength - root.path().size() - 1 - tail.size(), L'd');
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    const std::wstring launcher = dir + tail;
    ASSERT_EQ(launcher.size(), kLauncherLength);
    ASSERT_TRUE(::CopyFileW(qt::LauncherExe().c_str(), launcher.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(qt::DemoClientExe().c_str(), (dir + L"\\" + client).c_str(), FALSE));
    ASSERT_TRUE(qt::WriteFileBytes(dir + L"\\ProductConfig.xml",
                                   qt::Installation::MakeConfig(qt::ToUtf8(client), qt::ToUtf8(protocol), "",
                                                                {"--no-pipe"})));

    const qt::RunResult run = qt::RunProcess(launcher, L"", dir);
    ASSERT_NE(run.pid, 0u) << "launcher did not start";
    ASSERT_FALSE(run.timed_out);

    const it::RegValue value = it::ReadRegValue(HKEY_CLASSES_ROOT, CommandKey(protocol), nullptr);
    ASSERT_EQ(value.status, ERROR_SUCCESS);
    const std::wstring expected = ExpectedCommand(launcher);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.Text(), expected);
    EXPECT_EQ(value.data.size(), (expected.size() + 1) * sizeof(wchar_t));
}

}  // namespace
