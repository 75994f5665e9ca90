#include "log/log_message.h"

#include <cstring>
#include <iomanip>
#include <sstream>

namespace cpplog {

namespace {
const char* const kNames[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
const char* const kLetters[] = {"T", "D", "I", "W", "E", "F"};

std::tm BreakDownUtc(std::int64_t seconds) {
    std::tm result{};
#ifdef _WIN32
    __time64_t t = seconds;
    _gmtime64_s(&result, &t);
#else
    std::time_t t = static_cast<std::time_t>(seconds);
    gmtime_r(&t, &result);
#endif
    return result;
}
}  // namespace

const char LogTag[] = "KVR";

const char* LevelName(std::uint32_t level) { return level <= FATAL ? kNames[level] : "OTHER"; }
const char* LevelLetter(std::uint32_t level) { return level <= FATAL ? kLetters[level] : "O"; }

LogData::LogData(std::uint32_t lvl) : charBuf(chars, kCapacity), out(&charBuf), level(lvl) {
    chars[kCapacity] = 0;
}

const char* SourceFileName(const char* path) {
    if (const char* slash = std::strrchr(path, '/')) return slash + 1;
    if (const char* backslash = std::strrchr(path, '\\')) return backslash + 1;
    return path;
}

std::string FormatAppHeader(const char* tag, std::uint32_t level, const std::tm& utc) {
    std::ostringstream header;
    header << '[' << tag << "][" << LevelLetter(level) << "][" << (utc.tm_year + 1900) << '-' << (utc.tm_mon + 1)
           << '-' << utc.tm_mday << ' ' << utc.tm_hour << ':' << utc.tm_min << ':' << utc.tm_sec << "] ";
    return header.str();
}

LogMessage::LogMessage(const char* file, unsigned line, std::uint32_t level, BaseLogger* logger_)
    : logger(logger_), data(new LogData(level)) {
    data->sourceFile = SourceFileName(file ? file : "");
    data->line = line;
    data->timestamp = static_cast<std::int64_t>(std::time(nullptr));
    data->timeUtc = BreakDownUtc(data->timestamp);
}

LogMessage::~LogMessage() {
    Flush();
    if (releaseData) delete data;
}

void LogMessage::WriteHeader() {
    std::ostream& os = data->out;
    os.fill(' ');
    os << std::left << std::dec << std::setw(5) << LevelName(data->level) << " - " << data->sourceFile << '('
       << data->line << "): ";
}

void LogMessage::Flush() {
    if (flushed) return;
    const std::size_t used = data->size();
    if (used == 0 || data->chars[used - 1] != '\n') {
        // The last byte gives way so that the line feed always fits.
        if (used == LogData::kCapacity) data->charBuf.move_put_position(-1);
        // Written straight into the put area: this works also when the stream
        // has failed after overflowing.
        *data->charBuf.put_position() = '\n';
        data->charBuf.move_put_position(1);
    }
    releaseData = logger->Deliver(data);
    flushed = true;
}

}  // namespace cpplog

namespace n_log {

CustomLogMessage::CustomLogMessage(const char* file, unsigned line, std::uint32_t level,
                                   cpplog::BaseLogger* logger, const char* functionName_)
    : LogMessage(file, line, level, logger), functionName(functionName_) {
    WriteHeader();
}

void CustomLogMessage::WriteHeader() {
    // Formatted apart, so the state of the record's stream stays untouched.
    data->out << cpplog::FormatAppHeader(cpplog::LogTag, data->level, data->timeUtc);
}

}  // namespace n_log
