// The running-instance check of the built launcher: the restart prompt as a
// real dialog in both languages, what OK, Cancel, Esc and "forcerun:" do to
// running copies of the client, and which processes count as copies.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "launcher/tests/instance_test_support.h"

namespace {

struct PromptCase {
    const char* name;
    const wchar_t* client;  // unique per case: the launcher matches processes by name
    bool english;
    const wchar_t* tail;
    it::Answer answer;
    bool prompted;
    bool restarted;
};

const PromptCase kPromptCases[] = {
    {"ChineseOk", L"rpcnok.exe", false, L"plain-args", it::Answer::Ok, true, true},
    {"EnglishOk", L"rpenok.exe", true, L"plain-args", it::Answer::Ok, true, true},
    {"ChineseCancel", L"rpcncancel.exe", false, L"plain-args", it::Answer::Cancel, true, false},
    {"EnglishCancel", L"rpencancel.exe", true, L"plain-args", it::Answer::Cancel, true, false},
    {"ChineseEscape", L"rpcnesc.exe", false, L"plain-args", it::Answer::Escape, true, false},
    {"ForceRunAsksNothing", L"rpforce.exe", false, L"forcerun:plain-args", it::Answer::Cancel, false, true},
};

class RestartPrompt : public ::testing::TestWithParam<PromptCase> {};

// Two copies run; the invocation holds no protocol, so a declined restart
// ends the launcher with nothing done.
TEST_P(RestartPrompt, OnePromptDecidesForAllCopies) {
    const PromptCase& c = GetParam();
    const std::wstring client = c.client;
    const std::wstring stem = client.substr(0, client.size() - 4);
    const std::string protocol = qt::ToUtf8(stem);
    qt::Installation inst(L"prompt");
    inst.InstallClient(client);
    inst.WriteConfig(qt::Installation::MakeConfig(qt::ToUtf8(client), protocol, protocol + "Pipe", {"-k"}));
    std::unique_ptr<it::EnglishLanguage> english;
    if (c.english) english = std::make_unique<it::EnglishLanguage>(stem);

    const it::RunningCopy first = it::StartCopy(inst.path(client), L"--no-pipe");
    const it::RunningCopy second = it::StartCopy(inst.path(client), L"--no-pipe");
    ASSERT_TRUE(inst.WaitForClientStarts(client, 2));

    const it::PromptedRun result = it::RunAnswering(inst.launcher(), c.tail, c.answer);
    const int running_after = it::CountProcesses(client);
    const bool registered = it::ProtocolRegistered(qt::FromUtf8(protocol));
    const bool first_ended = it::EndedWith(first, 0, c.restarted ? 10000 : 0);
    const bool second_ended = it::EndedWith(second, 0, c.restarted ? 10000 : 0);
    const bool started_anew = c.restarted && inst.WaitForClientStarts(client, 3);
    qt::KillAll(client);
    it::ForgetProtocol(qt::FromUtf8(protocol));

    EXPECT_FALSE(result.run.timed_out);
    EXPECT_EQ(result.run.exit_code, 0u);
    EXPECT_EQ(result.prompts, c.prompted ? 1 : 0);
    if (c.prompted) {
        EXPECT_EQ(result.caption, c.english ? L"Prompt" : L"提示");
        EXPECT_EQ(result.text, c.english ? L"Another program is already in progress, start new one?"
                                         : L"检测到程序正在运行，是否重新打开!");
    }
    if (c.restarted) {
        EXPECT_TRUE(first_ended);
        EXPECT_TRUE(second_ended);
        ASSERT_TRUE(started_anew);
        EXPECT_EQ(inst.ClientStarts(client).at(2), L"plain-args -k");
    } else {
        EXPECT_FALSE(first_ended);
        EXPECT_FALSE(second_ended);
        EXPECT_EQ(running_after, 2) << "no client may be started";
        EXPECT_FALSE(registered);
        EXPECT_EQ(result.run.stderr_text, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RestartPrompt, ::testing::ValuesIn(kPromptCases),
                         [](const ::testing::TestParamInfo<PromptCase>& info) { return info.param.name; });

TEST(RunningInstance, NameDifferingOnlyInLetterCaseIsNotACopy) {
    qt::Installation inst(L"case");
    inst.InstallClient(L"caseclient.exe");
    inst.WriteConfig(qt::Installation::MakeConfig("caseclient.exe", "casep", "CasePipe"));
    // Another folder: the file system may not keep the two names apart.
    qt::Installation other(L"case-other");
    other.InstallClient(L"CaseClient.exe");
    const it::RunningCopy look_alike = it::StartCopy(other.path(L"CaseClient.exe"), L"--no-pipe");
    ASSERT_TRUE(other.WaitForClientStarts(L"CaseClient.exe", 1));

    const it::PromptedRun result = it::RunAnswering(inst.launcher(), L"casearg", it::Answer::Cancel);
    const bool started = inst.WaitForClientStarts(L"caseclient.exe", 1);
    const bool look_alike_runs = it::StillRunning(look_alike);
    qt::KillAll(L"caseclient.exe");
    qt::KillAll(L"CaseClient.exe");
    it::ForgetProtocol(L"casep");

    EXPECT_EQ(result.prompts, 0);
    EXPECT_EQ(result.run.exit_code, 0u);
    EXPECT_TRUE(look_alike_runs);
    ASSERT_TRUE(started);
    EXPECT_EQ(inst.ClientStarts(L"caseclient.exe").at(0), L"casearg");
}

// A launcher configured with its own file name as the client starts itself
// again, and so on; this ends that chain. Each link exists until it has
// started the next, so once no process of the name is left, none will come.
void EndChain(const std::wstring& exe_name) {
    const DWORD start = ::GetTickCount();
    int quiet = 0;
    while (quiet < 3 && ::GetTickCount() - start < 30000) {
        if (it::CountProcesses(exe_name) == 0) {
            ++quiet;
        } else {
            quiet = 0;
            qt::KillAll(exe_name);
        }
        ::Sleep(100);
    }
}

// The proof that the launcher went on past the check is its "par: " log
// line: had it ended itself, the exit code would be 0 all the same.
TEST(RunningInstance, LauncherNamedAsTheClientNeitherAsksAboutNorEndsItself) {
    const std::wstring self = L"SelfQuenda.exe";
    qt::Installation inst(L"self");
    ::CopyFileW(qt::LauncherExe().c_str(), inst.path(self).c_str(), FALSE);
    inst.WriteConfig(qt::Installation::MakeConfig("SelfQuenda.exe", "selfq", "SelfPipe"));

    {
        SCOPED_TRACE("alone: no prompt about itself");
        const it::PromptedRun result = it::RunAnswering(inst.path(self), L"selfarg", it::Answer::Cancel);
        EndChain(self);
        EXPECT_EQ(result.prompts, 0);
        EXPECT_EQ(result.run.exit_code, 0u);
        EXPECT_NE(result.run.stderr_text.find("par: selfarg\n"), std::string::npos) << result.run.stderr_text;
    }
    {
        SCOPED_TRACE("forcerun: the other copy ends, the launcher goes on");
        qt::Installation other(L"self-other");
        other.InstallClient(self);
        const it::RunningCopy copy = it::StartCopy(other.path(self), L"--no-pipe");
        ASSERT_TRUE(other.WaitForClientStarts(self, 1));
        const it::PromptedRun result = it::RunAnswering(inst.path(self), L"forcerun:selfarg", it::Answer::Cancel);
        const bool copy_ended = it::EndedWith(copy, 0);
        EndChain(self);
        EXPECT_EQ(result.prompts, 0);
        EXPECT_EQ(result.run.exit_code, 0u);
        EXPECT_TRUE(copy_ended);
        EXPECT_NE(result.run.stderr_text.find("par: selfarg\n"), std::string::npos) << result.run.stderr_text;
    }
    it::ForgetProtocol(L"selfq");
}

}  // namespace
