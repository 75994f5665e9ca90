// The hand-over library against the launcher's own sender
// (ForwardToRunningClient) and against raw pipe clients sending bad input.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "common/win_handle.h"
#include "handover/message_buffer.h"  // kLongestPipeName
#include "handover/quenda_handover.h"
#include "launcher/pipe_forward.h"
#include "tests/support/harness.h"

namespace {

using quenda::handover::Message;
using quenda::handover::Problem;
using quenda::handover::Server;

// A pipe name of this test program alone.
std::wstring PipeName(const std::wstring& hint) {
    return L"QuendaHandoverTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + hint;
}

// The launcher's bytes for a text: the ANSI code page, without the zero.
std::string Ansi(const std::wstring& text) {
    if (text.empty()) return std::string();
    BOOL lossy = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        &lossy);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    EXPECT_FALSE(lossy) << "not representable in the ANSI code page " << ::GetACP();
    return bytes;
}

// What the server's callbacks saw, from its thread.
class Inbox {
public:
    quenda::handover::OnMessage MessageSink() {
        return [this](const Message& message) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(message);
            changed_.notify_all();
        };
    }
    quenda::handover::OnProblem ProblemSink() {
        return [this](Problem problem, DWORD error) {
            std::lock_guard<std::mutex> lock(mutex_);
            problems_.push_back({problem, error});
            changed_.notify_all();
        };
    }
    bool WaitForMessages(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return messages_.size() >= count; });
    }
    bool WaitForProblems(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return problems_.size() >= count; });
    }
    std::vector<Message> messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::vector<std::pair<Problem, DWORD>> problems() {
        std::lock_guard<std::mutex> lock(mutex_);
        return problems_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
    std::vector<std::pair<Problem, DWORD>> problems_;
};

// A raw client of the pipe, as any local program could open it.
quenda::unique_hfile OpenPipe(const std::wstring& pipe, DWORD access = GENERIC_WRITE) {
    const std::wstring path = L"\\\\.\\pipe\\" + pipe;
    for (int attempt = 0; attempt < 50; ++attempt) {
        quenda::unique_hfile file(::CreateFileW(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (file || ::GetLastError() != ERROR_PIPE_BUSY) return file;
        ::WaitNamedPipeW(path.c_str(), 100);
    }
    return quenda::unique_hfile();
}

DWORD MillisecondsOf(const std::function<void()>& action) {
    const DWORD start = ::GetTickCount();
    action();
    return ::GetTickCount() - start;
}

TEST(Start, RefusesBadNamesAndArguments) {
    Inbox inbox;
    Server server;
    struct Case {
        std::wstring name;
        DWORD expected;
    };
    const Case names[] = {
        {L"", ERROR_INVALID_NAME},
        {L"a\\b", ERROR_INVALID_NAME},
        {L"..\\C:\\x", ERROR_INVALID_NAME},
        {L"a/../../C:/x", ERROR_INVALID_NAME},
        {L"..", ERROR_INVALID_NAME},
        {std::wstring(L"a\0b", 3), ERROR_INVALID_NAME},
        {std::wstring(quenda::handover::kLongestPipeName + 1, L'n'), ERROR_INVALID_NAME},
    };
    for (const Case& c : names) {
        EXPECT_EQ(server.Start(c.name, inbox.MessageSink()), c.expected) << qt::ToUtf8(c.name);
    }
    EXPECT_EQ(server.Start(PipeName(L"args"), nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(server.Start(PipeName(L"args"), inbox.MessageSink(), {}, 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(server.running());
    ASSERT_EQ(server.Start(PipeName(L"args"), inbox.MessageSink()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(server.Start(PipeName(L"args2"), inbox.MessageSink()), static_cast<DWORD>(ERROR_ALREADY_INITIALIZED));
    EXPECT_TRUE(server.running());
}

// Texts as the launcher sends them, one launcher run after the other.
TEST(LauncherHandOver, EachTextArrivesWholeAndConverted) {
    std::wstring long_text;
    while (long_text.size() < 15000) long_text += L"lesson=9&name=caf\x00E9&";
    const std::vector<std::wstring> texts = {
        L"lesson=9\"",          // as the shell passes a quoted URL
        L"name=caf\x00E9\"",    // a character of the ANSI code page beyond ASCII
        L"",                    // only the zero
        long_text + L"\"",      // longer than 10240 bytes and than any one read
    };
    ASSERT_GT(Ansi(texts.back()).size(), 10240u);

    Inbox inbox;
    Server server;
    const std::wstring pipe = PipeName(L"launcher");
    ASSERT_EQ(server.Start(pipe, inbox.MessageSink(), inbox.ProblemSink()), static_cast<DWORD>(ERROR_SUCCESS));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(ForwardToRunningClient(texts[i], pipe), 0) << i;
        ASSERT_TRUE(inbox.WaitForMessages(i + 1)) << i;
    }
    const std::vector<Message> messages = inbox.messages();
    ASSERT_EQ(messages.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(messages[i].text == texts[i]) << i << ": " << messages[i].text.size() << " units";
        EXPECT_TRUE(messages[i].ansi == Ansi(texts[i])) << i;
    }
    EXPECT_TRUE(inbox.problems().empty());
}

// Bad input from a raw client is reported, delivers nothing, and the server
// goes on to take the launcher's next message.
TEST(BadInput, IsReportedAndTheNextMessageStillArrives) {
    struct Case {
        const wchar_t* name;
        std::string bytes;  // written in one go, then the client closes
        std::size_t max_bytes;
        bool expect_problem;
        Problem problem;
        std::string message;  // what arrives instead, when no problem is expected
    };
    const Case cases[] = {
        {L"noterm", "lesson=9\"", quenda::handover::kDefaultMaxBytes, true, Problem::NoTerminator, ""},
        {L"nothing", "", quenda::handover::kDefaultMaxBytes, true, Problem::NothingSent, ""},
        {L"toolong", std::string(quenda::handover::kDefaultMaxBytes + 1000, 'x'), quenda::handover::kDefaultMaxBytes,
         true, Problem::TooLong, ""},
        {L"smallmax", std::string(300, 'x') + '\0', 100, true, Problem::TooLong, ""},
        {L"trailing", std::string("course=7\0junk", 13), quenda::handover::kDefaultMaxBytes, false, Problem::ReadFailed,
         "course=7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << qt::ToUtf8(c.name));
        Inbox inbox;
        Server server;
        const std::wstring pipe = PipeName(c.name);
        ASSERT_EQ(server.Start(pipe, inbox.MessageSink(), inbox.ProblemSink(), c.max_bytes),
                  static_cast<DWORD>(ERROR_SUCCESS));
        {
            quenda::unique_hfile client = OpenPipe(pipe);
            ASSERT_TRUE(client);
            if (!c.bytes.empty()) {
                // Too long input is dropped mid-write: the write may fail.
                DWORD written = 0;
                ::WriteFile(client.get(), c.bytes.data(), static_cast<DWORD>(c.bytes.size()), &written, nullptr);
            }
        }
        if (c.expect_problem) {
            ASSERT_TRUE(inbox.WaitForProblems(1));
            EXPECT_EQ(inbox.problems()[0].first, c.problem);
        } else {
            ASSERT_TRUE(inbox.WaitForMessages(1));
            EXPECT_EQ(inbox.messages()[0].ansi, c.message);
        }

        const std::size_t before = inbox.messages().size();
        ASSERT_EQ(ForwardToRunningClient(L"lesson=9\"", pipe), 0);
        ASSERT_TRUE(inbox.WaitForMessages(before + 1));
        const std::vector<Message> messages = inbox.messages();
        ASSERT_EQ(messages.size(), before + 1);
        EXPECT_TRUE(messages.back().text == L"lesson=9\"");
        EXPECT_EQ(inbox.problems().size(), c.expect_problem ? 1u : 0u);
    }
}

TEST(Start, SecondServerOfTheSameNameFailsAndTheFirstGoesOn) {
    Inbox first_inbox;
    Inbox second_inbox;
    Server first;
    Server second;
    const std::wstring pipe = PipeName(L"twice");
    ASSERT_EQ(first.Start(pipe, first_inbox.MessageSink()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(second.Start(pipe, second_inbox.MessageSink()), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(second.running());

    ASSERT_EQ(ForwardToRunningClient(L"course=7\"", pipe), 0);
    ASSERT_TRUE(first_inbox.WaitForMessages(1));
    EXPECT_TRUE(first_inbox.messages()[0].text == L"course=7\"");
    EXPECT_TRUE(second_inbox.messages().empty());
}

// The pipe's DACL, read back through a client's handle: one ACE, allowing
// the user of this process's token.
TEST(Security, PipeGrantsTheCurrentUserOnly) {
    Inbox inbox;
    Server server;
    const std::wstring pipe = PipeName(L"dacl");
    ASSERT_EQ(server.Start(pipe, inbox.MessageSink()), static_cast<DWORD>(ERROR_SUCCESS));
    quenda::unique_hfile client = OpenPipe(pipe, GENERIC_WRITE | READ_CONTROL);
    ASSERT_TRUE(client) << ::GetLastError();

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetSecurityInfo(client.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::unique_ptr<void, decltype(&::LocalFree)> owned(descriptor, &::LocalFree);
    ASSERT_NE(dacl, nullptr) << "a NULL DACL would let everyone in";
    ASSERT_EQ(dacl->AceCount, 1);
    void* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, 0, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);

    quenda::unique_handle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
    DWORD needed = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    std::vector<unsigned char> user(needed, 0);
    ASSERT_TRUE(::GetTokenInformation(token.get(), TokenUser, user.data(), needed, &needed));
    EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart),
                           reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid));
}

// Stop cancels the wait for a client, and a read that a silent client keeps
// pending, at once; the name is free afterwards. Stop asked for from a
// callback ends the server after that callback.
TEST(Lifecycle, StopIsPromptAndFreesTheName) {
    Inbox inbox;
    const std::wstring pipe = PipeName(L"stop");
    {
        Server server;
        ASSERT_EQ(server.Start(pipe, inbox.MessageSink(), inbox.ProblemSink()), static_cast<DWORD>(ERROR_SUCCESS));
        ::Sleep(100);
        EXPECT_LT(MillisecondsOf([&] { server.Stop(); }), 1000u);
        EXPECT_FALSE(server.running());
    }
    quenda::unique_hfile silent;
    {
        Server server;
        ASSERT_EQ(server.Start(pipe, inbox.MessageSink(), inbox.ProblemSink()), static_cast<DWORD>(ERROR_SUCCESS));
        silent = OpenPipe(pipe);
        ASSERT_TRUE(silent);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(silent.get(), "abc", 3, &written, nullptr));
        ::Sleep(200);  // the server now waits for the rest
        EXPECT_LT(MillisecondsOf([&] { server.Stop(); }), 1000u);
    }
    EXPECT_TRUE(inbox.messages().empty());
    EXPECT_TRUE(inbox.problems().empty()) << "stopping is no problem of the input";

    Server server;
    ASSERT_EQ(server.Start(pipe,
                           [&](const Message& message) {
                               server.Stop();
                               inbox.MessageSink()(message);
                           }),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(ForwardToRunningClient(L"__quit__", pipe), 0);
    ASSERT_TRUE(inbox.WaitForMessages(1));
    EXPECT_FALSE(server.running());
    EXPECT_LT(MillisecondsOf([&] { server.Stop(); }), 1000u);
    EXPECT_EQ(ForwardToRunningClient(L"late", pipe), 1) << "nobody serves the pipe any more";
}

}  // namespace
