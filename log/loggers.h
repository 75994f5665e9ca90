// Portable loggers: a level filter in front of another logger, and a logger
// that writes each record to a standard stream.
#pragma once

#include <cstdint>
#include <ostream>

#include "log/log_message.h"

namespace cpplog {

class FilteringLogger : public BaseLogger {
public:
    FilteringLogger(std::uint32_t minLevel, BaseLogger* next, bool ownsNext);
    bool Deliver(LogData* data) override;
    ~FilteringLogger() override;
    FilteringLogger(const FilteringLogger&) = delete;
    FilteringLogger& operator=(const FilteringLogger&) = delete;

protected:
    std::uint32_t minLevel;
    BaseLogger* next;
    bool ownsNext;
};

class OstreamLogger : public BaseLogger {
public:
    explicit OstreamLogger(std::ostream* os);
    bool Deliver(LogData* data) override;

protected:
    std::ostream* os;
};

class StdErrLogger : public OstreamLogger {
public:
    StdErrLogger();
};

}  // namespace cpplog
