// Narrowing of wide text for the log: code page 936 through the C runtime.
#pragma once

#include <string>

namespace cpplog {

// Converts up to the first NUL. A character that code page 936 cannot hold
// makes the whole conversion fail, and the result is empty. The C runtime's
// locale is switched for the conversion and restored afterwards.
std::string NarrowForLog(const std::wstring& text);

}  // namespace cpplog
