#include "log/loggers.h"

#include <iostream>

namespace cpplog {

FilteringLogger::FilteringLogger(std::uint32_t minLevel_, BaseLogger* next_, bool ownsNext_)
    : minLevel(minLevel_), next(next_), ownsNext(ownsNext_) {}

FilteringLogger::~FilteringLogger() {
    if (ownsNext && next) delete next;
}

bool FilteringLogger::Deliver(LogData* data) {
    if (data->level < minLevel) return true;
    if (!next) return false;
    return next->Deliver(data);
}

OstreamLogger::OstreamLogger(std::ostream* os_) : os(os_) {}

bool OstreamLogger::Deliver(LogData* data) {
    const std::size_t size = data->size();
    data->chars[size] = '\0';  // the spare byte when the record is full
    os->write(data->chars, static_cast<std::streamsize>(size));
    os->flush();
    return true;
}

StdErrLogger::StdErrLogger() : OstreamLogger(&std::cerr) {}

}  // namespace cpplog
