#include "log/app_logger.h"

#include <windows.h>

namespace cpplog {

DebugOutputFn g_debugOutput = [](const char* text) { ::OutputDebugStringA(text); };

OutputDebugStringLogger::OutputDebugStringLogger() : OstreamLogger(nullptr) { os = &dbgStream; }
OutputDebugStringLogger::~OutputDebugStringLogger() = default;

// The sinks' inner loggers live as long as the process: nothing deletes them.
ZmDbgLogger::ZmDbgLogger() : ZmFilteringLogger(TRACE, new OutputDebugStringLogger(), false) {}
ZmStdLogger::ZmStdLogger() : ZmFilteringLogger(TRACE, new StdErrLogger(), false) {}

ZmLogger::ZmLogger() {
    dbgSink = new ZmDbgLogger();
    sinks.emplace_back(dbgSink);
    stdSink = new ZmStdLogger();
    sinks.emplace_back(stdSink);
}

ZmLogger::~ZmLogger() { sinks.clear(); }

bool ZmLogger::Deliver(LogData* data) {
    bool result = true;
    for (const boost::any& entry : sinks) {
        BaseLogger* sink = nullptr;
        if (stdEnabled && entry.type() == typeid(ZmStdLogger*)) {
            sink = boost::any_cast<ZmStdLogger*>(entry);
        } else if (dbgEnabled && entry.type() == typeid(ZmDbgLogger*)) {
            sink = boost::any_cast<ZmDbgLogger*>(entry);
        } else {
            continue;
        }
        if (!sink || !result) continue;
        try {
            result = sink->Deliver(data);
        } catch (...) {
            return result;
        }
    }
    return result;
}

ZmLogger AppLogger;

}  // namespace cpplog
