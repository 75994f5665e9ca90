// The log record, its header and its limits. Portable: also built natively.
#include "log/log_message.h"
#include "log/loggers.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Keeps a copy of every delivered line; answers what it is told to.
class RecordingLogger : public cpplog::BaseLogger {
public:
    explicit RecordingLogger(bool answer = true) : answer_(answer) {}
    bool Deliver(cpplog::LogData* data) override {
        lines.emplace_back(data->chars, data->size());
        records.push_back(data);
        return answer_;
    }
    std::vector<std::string> lines;
    std::vector<cpplog::LogData*> records;

private:
    bool answer_;
};

std::tm MakeUtc(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(LogHeader, NumbersWithoutLeadingZeros) {
    const std::string header = cpplog::FormatAppHeader("KVR", cpplog::INFO, MakeUtc(2021, 11, 5, 9, 3, 7));
    EXPECT_EQ(header, "[KVR][I][2021-11-5 9:3:7] ");
    EXPECT_EQ(header.size(), 26u);
    EXPECT_EQ(cpplog::FormatAppHeader("KVR", 6, MakeUtc(1999, 12, 31, 23, 59, 58)), "[KVR][O][1999-12-31 23:59:58] ");
    EXPECT_EQ(cpplog::FormatAppHeader("KVR", cpplog::TRACE, MakeUtc(2030, 1, 1, 0, 0, 0)), "[KVR][T][2030-1-1 0:0:0] ");
}

TEST(LogHeader, LevelNamesAndLetters) {
    const struct {
        std::uint32_t level;
        const char* name;
        const char* letter;
    } cases[] = {{0, "TRACE", "T"}, {1, "DEBUG", "D"}, {2, "INFO", "I"}, {3, "WARN", "W"},
                 {4, "ERROR", "E"}, {5, "FATAL", "F"}, {6, "OTHER", "O"}, {0xFFFFFFFFu, "OTHER", "O"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(cpplog::LevelName(c.level), c.name);
        EXPECT_STREQ(cpplog::LevelLetter(c.level), c.letter);
    }
}

TEST(LogHeader, SourceFileName) {
    EXPECT_STREQ(cpplog::SourceFileName("src/launcher/Quenda.cpp"), "Quenda.cpp");
    EXPECT_STREQ(cpplog::SourceFileName("C:\\src\\Quenda.cpp"), "Quenda.cpp");
    EXPECT_STREQ(cpplog::SourceFileName("Quenda.cpp"), "Quenda.cpp");
    // Both kinds: the part behind the last "/" even when a "\" follows it.
    EXPECT_STREQ(cpplog::SourceFileName("a\\b/c\\d.cpp"), "c\\d.cpp");
}

TEST(LogMessage, LineFeedRules) {
    RecordingLogger logger;
    {
        n_log::CustomLogMessage m("x.cpp", 1, cpplog::INFO, &logger, "f");
    }
    {
        n_log::CustomLogMessage m("x.cpp", 2, cpplog::INFO, &logger, "f");
        m.Stream() << "text\n";
    }
    {
        n_log::CustomLogMessage m("x.cpp", 3, cpplog::WARN, &logger, "f");
        m.Stream() << "a " << 42;
    }
    ASSERT_EQ(logger.lines.size(), 3u);
    EXPECT_EQ(logger.lines[0].substr(0, 9), "[KVR][I][");
    EXPECT_EQ(logger.lines[0].back(), '\n');
    EXPECT_EQ(logger.lines[0].find('\n'), logger.lines[0].size() - 1);
    EXPECT_GE(logger.lines[0].size(), 26u);
    EXPECT_EQ(logger.lines[1].substr(logger.lines[1].find("] ") + 2), "text\n");
    EXPECT_EQ(logger.lines[2].substr(logger.lines[2].find("] ") + 2), "a 42\n");
    EXPECT_EQ(logger.lines[2].substr(0, 9), "[KVR][W][");
}

TEST(LogMessage, RecordLimits) {
    const std::size_t capacity = cpplog::LogData::kCapacity;
    struct Case {
        std::size_t text_length;   // inserted after the header
        std::size_t delivered;     // bytes delivered
    };
    // The header's length depends on the date: measure it.
    RecordingLogger probe;
    { n_log::CustomLogMessage m("x.cpp", 1, cpplog::INFO, &probe, "f"); }
    const std::size_t header_length = probe.lines.at(0).size() - 1;

    const Case cases[] = {
        {capacity - header_length - 1, capacity},  // room for the line feed
        {capacity - header_length, capacity},      // full: the last byte gives way
        {capacity - header_length + 500, capacity},
    };
    for (const Case& c : cases) {
        RecordingLogger logger;
        {
            n_log::CustomLogMessage m("x.cpp", 1, cpplog::INFO, &logger, "f");
            m.Stream() << std::string(c.text_length, 'x');
            m.Stream() << "tail";  // dropped once the record is full
        }
        ASSERT_EQ(logger.lines.size(), 1u);
        const std::string& line = logger.lines[0];
        const std::size_t expected = std::min(header_length + c.text_length + 4 + 1, c.delivered);
        EXPECT_EQ(line.size(), expected) << c.text_length;
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        if (header_length + c.text_length >= capacity) {
            EXPECT_EQ(line.find("tail"), std::string::npos);
        }
    }
}

TEST(LogMessage, FlushDeliversOnceAndRefusedRecordStaysAlive) {
    RecordingLogger keeps(false);
    cpplog::LogData* record = nullptr;
    {
        n_log::CustomLogMessage m("x.cpp", 1, cpplog::INFO, &keeps, "f");
        m.Stream() << "once";
        m.Flush();
        m.Flush();
    }
    ASSERT_EQ(keeps.lines.size(), 1u);
    record = keeps.records[0];
    // The message left the record alone: it is still readable, and ours to free.
    EXPECT_EQ(std::string(record->chars, record->size()).substr(record->size() - 5), "once\n");
    delete record;
}

TEST(LogMessage, DefaultHeaderOfPlainMessage) {
    RecordingLogger logger;
    {
        cpplog::LogMessage m("dir/file.cpp", 12, cpplog::INFO, &logger);
        m.WriteHeader();
        m.Stream() << "x";
    }
    {
        cpplog::LogMessage m("file.cpp", 7, cpplog::ERROR, &logger);
        m.WriteHeader();
    }
    ASSERT_EQ(logger.lines.size(), 2u);
    EXPECT_EQ(logger.lines[0], "INFO  - file.cpp(12): x\n");
    EXPECT_EQ(logger.lines[1], "ERROR - file.cpp(7): \n");
}

TEST(Loggers, FilterAndStream) {
    std::ostringstream sink;
    cpplog::FilteringLogger filter(cpplog::WARN, new cpplog::OstreamLogger(&sink), true);
    {
        n_log::CustomLogMessage below("x.cpp", 1, cpplog::INFO, &filter, "f");
        below.Stream() << "dropped";
    }
    {
        n_log::CustomLogMessage at("x.cpp", 1, 9, &filter, "f");
        at.Stream() << "kept";
    }
    EXPECT_EQ(sink.str().find("dropped"), std::string::npos);
    EXPECT_NE(sink.str().find("][O]["), std::string::npos);
    EXPECT_EQ(sink.str().substr(sink.str().size() - 5), "kept\n");

    cpplog::FilteringLogger no_next(cpplog::TRACE, nullptr, false);
    cpplog::LogData data(cpplog::INFO);
    EXPECT_FALSE(no_next.Deliver(&data));
    cpplog::FilteringLogger high(cpplog::FATAL, nullptr, false);
    EXPECT_TRUE(high.Deliver(&data));
}

}  // namespace
