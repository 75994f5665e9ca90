#include "log/loggers.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#endif

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

StdErrLogger::StdErrLogger() : OstreamLogger(&std::cerr) {
#ifdef _WIN32
    // In text mode the C runtime would turn each line feed into CR LF; the
    // log's lines end in a line feed alone, byte for byte as recorded.
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace cpplog
