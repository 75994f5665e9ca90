// The start path of the built launcher: what the client receives, where it
// runs, and the two log lines on standard error.
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::regex kLogLine(R"(\[KVR\]\[I\]\[\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\] )");

struct StartCase {
    const wchar_t* tail;
    std::vector<std::string> args;
    const wchar_t* client_receives;
    const char* logged_params;  // the "par: " line, before the configured arguments
};

TEST(Launch, ClientReceivesParametersCutFromTheInvocation) {
    const StartCase cases[] = {
        {L"\"lnch://course=7\"", {"-x"}, L"course=7\" -x", "course=7\""},
        // From a shortcut; the system drops the blank in front of the client's tail.
        {L"", {"-x", "-y"}, L"-x -y", ""},
        {L"forcerun:lnch://a=1", {}, L"a=1", "a=1"},
        {L"\"lnch://data=1\"", {"a", "-q"}, L"data=1\" -q", "data=1\""},   // "a" is already in it
        {L"other://z", {}, L"other://z", "other://z"},                      // protocol not found: all of it
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(qt::ToUtf8(c.tail));
        qt::Installation inst(L"launch");
        inst.InstallClient(L"lnchclient.exe");
        inst.WriteConfig(qt::Installation::MakeConfig("lnchclient.exe", "lnch", "QuendaLaunchPipe", c.args));
        const qt::RunResult run = inst.RunLauncher(c.tail);
        EXPECT_EQ(run.exit_code, 0u);
        ASSERT_TRUE(inst.WaitForClientStarts(L"lnchclient.exe", 1));
        qt::KillAll(L"lnchclient.exe");
        EXPECT_EQ(inst.ClientStarts(L"lnchclient.exe").at(0), c.client_receives);

        // Exactly two lines: the client program, then the parameters as cut.
        const std::string& err = run.stderr_text;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(err, m, kLogLine)) << err;
        EXPECT_EQ(m.position(0), 0);
        const std::string first = "class path: lnchclient.exe\n";
        const std::size_t second_start = m.length(0) + first.size();
        EXPECT_EQ(err.substr(m.length(0), first.size()), first);
        const std::string rest = err.substr(second_start);
        ASSERT_TRUE(std::regex_search(rest, m, kLogLine)) << err;
        EXPECT_EQ(m.position(0), 0);
        EXPECT_EQ(rest.substr(m.length(0)), std::string("par: ") + c.logged_params + "\n");
    }
}

TEST(Launch, ClientRunsFromTheLauncherFolderWhateverTheCallersFolder) {
    qt::Installation inst(L"cwd");
    inst.InstallClient(L"cwdclient.exe");
    inst.WriteConfig(qt::Installation::MakeConfig("cwdclient.exe", "cwdp", "QuendaCwdPipe"));
    qt::ScratchDir elsewhere(L"elsewhere");
    const qt::RunResult run = qt::RunProcess(inst.launcher(), L"cwdp://k", elsewhere.path());
    EXPECT_EQ(run.exit_code, 0u);
    ASSERT_TRUE(inst.WaitForClientStarts(L"cwdclient.exe", 1));
    qt::KillAll(L"cwdclient.exe");
    EXPECT_EQ(inst.ClientStarts(L"cwdclient.exe").at(0), L"k");
}

TEST(Launch, WideParametersAreLoggedInCodePage936) {
    qt::Installation inst(L"wide");
    inst.InstallClient(L"wideclient.exe");
    inst.WriteConfig(qt::Installation::MakeConfig("wideclient.exe", "wide", "QuendaWidePipe"));
    // 中文 is logged as GBK bytes; the emoji has no GBK form and drops out of the line alone.
    const qt::RunResult run = inst.RunLauncher(L"wide://\x4E2D\x6587");
    ASSERT_TRUE(inst.WaitForClientStarts(L"wideclient.exe", 1));
    qt::KillAll(L"wideclient.exe");
    EXPECT_EQ(inst.ClientStarts(L"wideclient.exe").at(0), L"\x4E2D\x6587");
    EXPECT_NE(run.stderr_text.find("] par: \xD6\xD0\xCE\xC4\n"), std::string::npos) << run.stderr_text;
}

}  // namespace
