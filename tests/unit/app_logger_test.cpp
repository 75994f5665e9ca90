// The application logger's two sinks and the narrowing of wide text. Windows
// only: the debugger stream and the "chs" locale are the C runtime's.
#include "log/app_logger.h"
#include "log/narrow_for_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <iostream>
#include <sstream>

namespace {

std::vector<std::string>* g_events = nullptr;

void RecordDebugPiece(const char* text) {
    if (g_events) g_events->push_back(std::string("dbg:") + text);
}

// Records what reaches standard error, as one event per write.
class RecordingBuf : public std::streambuf {
public:
    explicit RecordingBuf(bool fail) : fail_(fail) {}
    bool failed_once = false;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (fail_) return 0;
        g_events->push_back("err:" + std::string(s, static_cast<std::size_t>(n)));
        return n;
    }
    int_type overflow(int_type c) override { return fail_ ? traits_type::eof() : c; }

private:
    bool fail_;
};

class AppLoggerTest : public testing::Test {
protected:
    void SetUp() override {
        g_events = &events;
        saved_output = cpplog::g_debugOutput;
        cpplog::g_debugOutput = RecordDebugPiece;
        saved_cerr = std::cerr.rdbuf();
    }
    void TearDown() override {
        std::cerr.rdbuf(saved_cerr);
        std::cerr.clear();
        cpplog::g_debugOutput = saved_output;
        g_events = nullptr;
    }
    std::vector<std::string> events;
    cpplog::DebugOutputFn saved_output = nullptr;
    std::streambuf* saved_cerr = nullptr;
};

TEST_F(AppLoggerTest, DebuggerGetsPiecesOf256) {
    const struct {
        std::size_t length;
        std::vector<std::size_t> pieces;
    } cases[] = {{600, {256, 256, 88}}, {256, {256}}, {257, {256, 1}}, {10, {10}}};
    for (const auto& c : cases) {
        events.clear();
        cpplog::OutputDebugStringLogger logger;
        cpplog::LogData data(cpplog::INFO);
        data.out << std::string(c.length, 'z');
        EXPECT_TRUE(logger.Deliver(&data));
        std::vector<std::size_t> sizes;
        for (const std::string& e : events) sizes.push_back(e.size() - 4);
        // A flush with nothing pending may add an empty piece; it carries nothing.
        sizes.erase(std::remove(sizes.begin(), sizes.end(), 0u), sizes.end());
        EXPECT_EQ(sizes, c.pieces) << c.length;
    }
}

TEST_F(AppLoggerTest, EveryLevelReachesDebuggerFirstThenStderr) {
    RecordingBuf buf(false);
    std::cerr.rdbuf(&buf);
    for (std::uint32_t level : {std::uint32_t{cpplog::TRACE}, std::uint32_t{cpplog::FATAL}, 77u}) {
        events.clear();
        { n_log::CustomLogMessage m("t.cpp", 1, level, &cpplog::AppLogger, "f"); m.Stream() << "hello"; }
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().substr(0, 8), "dbg:[KVR");
        EXPECT_EQ(events.front().substr(events.front().size() - 6), "hello\n");
        EXPECT_EQ(events.back().substr(0, 8), "err:[KVR");
        EXPECT_EQ(events.back().substr(events.back().size() - 6), "hello\n");
    }
}

TEST_F(AppLoggerTest, FailedStderrDoesNotStopTheDebugger) {
    RecordingBuf broken(true);
    std::cerr.rdbuf(&broken);
    for (int i = 0; i < 2; ++i) {
        events.clear();
        { n_log::CustomLogMessage m("t.cpp", 1, cpplog::INFO, &cpplog::AppLogger, "f"); m.Stream() << std::string(300, 'q'); }
        std::string debugger;
        for (const std::string& e : events) {
            ASSERT_EQ(e.substr(0, 4), "dbg:");
            debugger += e.substr(4);
        }
        EXPECT_NE(debugger.find(std::string(300, 'q') + "\n"), std::string::npos);
    }
    EXPECT_TRUE(std::cerr.fail());
}

TEST(NarrowForLog, CodePage936) {
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string locale_before = before ? before : "";

    EXPECT_EQ(cpplog::NarrowForLog(L"abc"), "abc");
    EXPECT_EQ(cpplog::NarrowForLog(L"\x4E2D\x6587"), "\xD6\xD0\xCE\xC4");  // 中文
    EXPECT_EQ(cpplog::NarrowForLog(L"a\xD83D\xDE00z"), "");  // outside the code page: nothing
    EXPECT_EQ(cpplog::NarrowForLog(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(cpplog::NarrowForLog(L""), "");

    const char* after = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(locale_before, after ? after : "");

    std::ostringstream line;
    line << L"par: " << std::wstring(L"\x4E2D") << L"a\xD83D\xDE00" << std::string("!");
    EXPECT_EQ(line.str(), "par: \xD6\xD0!");
}

}  // namespace
