// The hand-over of the built launcher: the user keeps the running client, and
// the invocation's parameters go into the client's pipe as ANSI text with one
// terminating zero byte, and nothing else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/tests/instance_test_support.h"

namespace {

std::string Ansi(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &bytes[0], n, nullptr, nullptr);
    return bytes;  // the terminating zero included
}

struct HandOverCase {
    const char* name;
    const wchar_t* client;  // also the protocol and, with "Pipe", the pipe name
    std::wstring after_protocol;
    bool quoted;  // as the shell passes a URL
};

const HandOverCase kHandOverCases[] = {
    {"QuotedUrlKeepsClosingQuote", L"hoquoted.exe", L"course=7", true},
    {"EmptyTextSendsOnlyTheZero", L"hoempty.exe", L"", false},
    {"NonAsciiTextInAnsiCodePage", L"hoansi.exe", L"name=caf\x00E9", false},
    // Longer than the 10240 bytes that a fixed message buffer would hold.
    {"LongTextGoesWhole", L"holong.exe", std::wstring(20000, L'x'), false},
};

class HandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(HandOver, RunningClientReceivesExactlyTheParameterText) {
    const HandOverCase& c = GetParam();
    const std::wstring client = c.client;
    const std::wstring protocol = client.substr(0, client.size() - 4);
    const std::wstring pipe = protocol + L"Pipe";
    qt::Installation inst(L"handover");
    inst.InstallClient(client);
    // Configured arguments never travel through the pipe.
    inst.WriteConfig(
        qt::Installation::MakeConfig(qt::ToUtf8(client), qt::ToUtf8(protocol), qt::ToUtf8(pipe), {"-cfg"}));
    const it::RunningCopy running = it::StartCopy(inst.path(client));
    ASSERT_TRUE(it::WaitForPipe(pipe));

    const std::wstring url = protocol + L"://" + c.after_protocol;
    const std::wstring tail = c.quoted ? L"\"" + url + L"\"" : url;
    const it::PromptedRun result = it::RunAnswering(inst.launcher(), tail, it::Answer::Cancel);
    const bool received = inst.WaitForClientMessages(client, 1);
    const int running_after = it::CountProcesses(client);
    const bool registered = it::ProtocolRegistered(protocol);
    qt::KillAll(client);

    EXPECT_EQ(result.prompts, 1);
    EXPECT_EQ(result.run.exit_code, 0u);
    ASSERT_TRUE(received);
    const std::vector<std::string> messages = inst.ClientMessages(client);
    ASSERT_EQ(messages.size(), 1u);
    const std::string expected = Ansi(c.after_protocol + (c.quoted ? L"\"" : L""));
    EXPECT_EQ(messages[0].size(), expected.size());
    EXPECT_TRUE(messages[0] == expected) << messages[0].substr(0, 200);
    EXPECT_EQ(running_after, 1) << "no client may be started";
    EXPECT_FALSE(registered);
    EXPECT_EQ(result.run.stderr_text, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, HandOver, ::testing::ValuesIn(kHandOverCases),
                         [](const ::testing::TestParamInfo<HandOverCase>& info) { return info.param.name; });

TEST(HandOverFailure, NoPipeServerGivesExitCodeOneAndNothingElse) {
    qt::Installation inst(L"nopipe");
    inst.InstallClient(L"honopipe.exe");
    inst.WriteConfig(qt::Installation::MakeConfig("honopipe.exe", "honopipe", "honopipePipe", {"-cfg"}));
    const it::RunningCopy running = it::StartCopy(inst.path(L"honopipe.exe"), L"--no-pipe");
    ASSERT_TRUE(inst.WaitForClientStarts(L"honopipe.exe", 1));

    const it::PromptedRun result = it::RunAnswering(inst.launcher(), L"\"honopipe://x=1\"", it::Answer::Cancel);
    const int running_after = it::CountProcesses(L"honopipe.exe");
    const bool still_running = it::StillRunning(running);
    const bool registered = it::ProtocolRegistered(L"honopipe");
    qt::KillAll(L"honopipe.exe");

    EXPECT_EQ(result.prompts, 1);
    EXPECT_EQ(result.run.exit_code, 1u);
    EXPECT_TRUE(still_running);
    EXPECT_EQ(running_after, 1) << "no client may be started";
    EXPECT_EQ(inst.ClientStarts(L"honopipe.exe").size(), 1u);
    EXPECT_FALSE(registered);
    EXPECT_EQ(result.run.stderr_text, "");
}

// "\\.\Pipe\..\C:\x" is normalised to "\\.\C:\x", an ordinary file: a pipe
// name like that must not let a URL's text be written over a file.
TEST(HandOverFailure, PipeNameLeavingThePipeNamespaceIsRefused) {
    qt::Installation inst(L"escape");
    inst.InstallClient(L"hoescape.exe");
    const std::wstring victim = inst.path(L"victim.txt");
    ASSERT_TRUE(qt::WriteFileBytes(victim, "untouched"));
    inst.WriteConfig(qt::Installation::MakeConfig("hoescape.exe", "hoescape", "..\\" + qt::ToUtf8(victim)));
    const it::RunningCopy running = it::StartCopy(inst.path(L"hoescape.exe"), L"--no-pipe");
    ASSERT_TRUE(inst.WaitForClientStarts(L"hoescape.exe", 1));

    const it::PromptedRun result = it::RunAnswering(inst.launcher(), L"hoescape://overwritten", it::Answer::Cancel);
    qt::KillAll(L"hoescape.exe");

    EXPECT_EQ(result.prompts, 1);
    EXPECT_EQ(result.run.exit_code, 1u);
    EXPECT_EQ(qt::ReadFileBytes(victim), "untouched");
}

}  // namespace
