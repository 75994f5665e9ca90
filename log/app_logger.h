// The application logger: every record goes to the debugger output, then to
// standard error.
#pragma once

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <boost/any.hpp>

#include "log/loggers.h"

namespace cpplog {
// Where the debugger stream's pieces go: OutputDebugStringA, unless a test
// puts a recorder in its place.
using DebugOutputFn = void (*)(const char* text);
extern DebugOutputFn g_debugOutput;
}  // namespace cpplog

// Stream buffer that hands its text to the debugger output in pieces of at
// most 256 characters.
template <typename Ch, typename Traits>
class OutputDebugStringBuf : public std::basic_stringbuf<Ch, Traits> {
public:
    static constexpr std::size_t kPiece = 256;
    using int_type = typename Traits::int_type;

    OutputDebugStringBuf() : piece(kPiece, Ch()) { this->setp(piece.data(), piece.data() + piece.size()); }

protected:
    int sync() override {
        const std::size_t count = static_cast<std::size_t>(this->pptr() - this->pbase());
        std::string text;
        try {
            text.assign(this->pbase(), count);
        } catch (...) {
            return -1;
        }
        cpplog::g_debugOutput(text.c_str());
        this->setp(piece.data(), piece.data() + piece.size());
        return 0;
    }

    int_type overflow(int_type c) override {
        const int synced = sync();
        if (!Traits::eq_int_type(c, Traits::eof())) {
            piece[0] = Traits::to_char_type(c);
            this->setp(piece.data(), piece.data() + piece.size());
            this->pbump(1);
        }
        return synced == 0 ? 0 : Traits::eof();
    }

private:
    std::vector<Ch> piece;
};

template <typename Ch>
class outputdebug_buf : public OutputDebugStringBuf<Ch, std::char_traits<Ch>> {};

template <typename Ch>
class outputdebug_stream : public std::basic_ostream<Ch> {
public:
    outputdebug_stream() : std::basic_ostream<Ch>(new outputdebug_buf<Ch>()) {}
    ~outputdebug_stream() override { delete this->rdbuf(); }
    outputdebug_stream(const outputdebug_stream&) = delete;
    outputdebug_stream& operator=(const outputdebug_stream&) = delete;
};

namespace cpplog {

class OutputDebugStringLogger : public OstreamLogger {
public:
    OutputDebugStringLogger();
    ~OutputDebugStringLogger() override;

private:
    outputdebug_stream<char> dbgStream;
};

class ZmFilteringLogger : public FilteringLogger {
public:
    using FilteringLogger::FilteringLogger;
};

class ZmDbgLogger : public ZmFilteringLogger {
public:
    ZmDbgLogger();
};

class ZmStdLogger : public ZmFilteringLogger {
public:
    ZmStdLogger();
};

class ZmLogger : public BaseLogger {
public:
    ZmLogger();
    bool Deliver(LogData* data) override;
    ~ZmLogger() override;
    ZmLogger(const ZmLogger&) = delete;
    ZmLogger& operator=(const ZmLogger&) = delete;

private:
    ZmStdLogger* stdSink = nullptr;
    ZmDbgLogger* dbgSink = nullptr;
    bool stdEnabled = true;
    bool dbgEnabled = true;
    std::vector<boost::any> sinks;  // does not own the sinks
};

extern ZmLogger AppLogger;

}  // namespace cpplog

// One application log line at a call site:
//   QLOG_INFO("WriteRegFun") << "set reg failure: ";
#define QLOG_INFO(function) \
    n_log::CustomLogMessage(__FILE__, __LINE__, cpplog::INFO, &cpplog::AppLogger, function).Stream()
