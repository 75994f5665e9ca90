#include "log/narrow_for_log.h"

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "log/log_message.h"

namespace cpplog {

std::string NarrowForLog(const std::wstring& text) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string previous = current ? current : "C";
    std::setlocale(LC_ALL, "chs");

    const std::size_t n = std::wcslen(text.c_str());  // stops at an embedded NUL
    std::vector<char> buffer(2 * n + 1, '\0');
    std::size_t converted = 0;
#ifdef _WIN32
    if (wcstombs_s(&converted, buffer.data(), buffer.size(), text.c_str(), buffer.size()) != 0) buffer[0] = '\0';
#else
    converted = std::wcstombs(buffer.data(), text.c_str(), buffer.size() - 1);
    if (converted == static_cast<std::size_t>(-1)) buffer[0] = '\0';
#endif
    std::string result(buffer.data());

    std::setlocale(LC_ALL, previous.c_str());
    return result;
}

}  // namespace cpplog

std::ostream& operator<<(std::ostream& os, const wchar_t* text) {
    return os << cpplog::NarrowForLog(text ? std::wstring(text) : std::wstring());
}

std::ostream& operator<<(std::ostream& os, const std::wstring& text) { return os << cpplog::NarrowForLog(text); }
