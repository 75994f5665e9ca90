// One log line: a fixed-size record with a header, filled through a stream and
// handed to a logger when the message object dies. No Win32 here.
#pragma once

#include <cstdint>
#include <ctime>
#include <ostream>
#include <streambuf>
#include <string>

namespace cpplog {

// <windows.h> defines ERROR as a macro; the level keeps its name here.
#pragma push_macro("ERROR")
#undef ERROR
enum : std::uint32_t { TRACE = 0, DEBUG = 1, INFO = 2, WARN = 3, ERROR = 4, FATAL = 5 };
#pragma pop_macro("ERROR")

const char* LevelName(std::uint32_t level);
const char* LevelLetter(std::uint32_t level);

namespace helpers {

// A put area over a caller's array; characters beyond it are refused, so the
// stream over it fails and drops every later insertion.
class fixed_streambuf : public std::basic_streambuf<char> {
public:
    fixed_streambuf(char* buffer, std::size_t size) { setp(buffer, buffer + size); }
    char* put_position() const { return pptr(); }
    char* put_begin() const { return pbase(); }
    void move_put_position(int delta) { pbump(delta); }
};

}  // namespace helpers

struct LogData {
    static constexpr std::size_t kCapacity = 20000;

    explicit LogData(std::uint32_t lvl);
    virtual ~LogData() = default;
    LogData(const LogData&) = delete;
    LogData& operator=(const LogData&) = delete;

    helpers::fixed_streambuf charBuf;
    char chars[kCapacity + 1];  // the spare byte is where a logger may put a NUL
    std::ostream out;
    std::uint32_t level;
    std::uint32_t line = 0;
    const char* sourceFile = "";
    std::int64_t timestamp = 0;
    std::tm timeUtc{};

    std::size_t size() const { return static_cast<std::size_t>(charBuf.put_position() - chars); }
};

class BaseLogger {
public:
    // true: the message may delete the record; false: it must leave it alive.
    virtual bool Deliver(LogData* data) = 0;
    virtual ~BaseLogger() = default;
};

class LogMessage {
public:
    LogMessage(const char* file, unsigned line, std::uint32_t level, BaseLogger* logger);
    virtual ~LogMessage();
    LogMessage(const LogMessage&) = delete;
    LogMessage& operator=(const LogMessage&) = delete;

    virtual void WriteHeader();
    std::ostream& Stream() { return data->out; }
    void Flush();

protected:
    BaseLogger* logger;
    bool flushed = false;
    bool releaseData = false;
    LogData* data;
};

// The part of a path behind its last "/", else behind its last "\".
const char* SourceFileName(const char* path);

// "[tag][letter][y-m-d h:m:s] " with no leading zeros.
std::string FormatAppHeader(const char* tag, std::uint32_t level, const std::tm& utc);

// Constant-initialised, so it exists before any logger and outlives them all.
extern const char LogTag[];

}  // namespace cpplog

namespace n_log {

class CustomLogMessage : public cpplog::LogMessage {
public:
    CustomLogMessage(const char* file, unsigned line, std::uint32_t level, cpplog::BaseLogger* logger,
                     const char* functionName);
    void WriteHeader() override;
    // Kept for the whole life of the message; no header prints it.
    const char* FunctionName() const { return functionName; }

private:
    const char* functionName;
};

}  // namespace n_log

// Wide text for the log, narrowed to code page 936 (see narrow_for_log.h).
std::ostream& operator<<(std::ostream& os, const wchar_t* text);
std::ostream& operator<<(std::ostream& os, const std::wstring& text);
