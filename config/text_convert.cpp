#include "config/text_convert.h"

#include <windows.h>

#include <vector>

namespace {

bool MultiToWide(UINT code_page, const char* input, std::wstring& output) {
    output.clear();
    const int units = ::MultiByteToWideChar(code_page, 0, input, -1, nullptr, 0);
    if (units <= 0) return false;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(units) + 1, L'\0');
    ::MultiByteToWideChar(code_page, 0, input, -1, buffer.data(), units);
    output.assign(buffer.data());
    return !output.empty();
}

}  // namespace

bool Utf8ToWide(const char* input, std::wstring& output) {
    if (!input) return false;
    MultiToWide(CP_UTF8, input, output);
    return !output.empty();
}

bool Utf8ToAnsi(const char* input, std::string& output) {
    if (!input) return false;
    output.clear();
    std::wstring wide;
    if (!MultiToWide(CP_UTF8, input, wide)) return false;
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    std::vector<char> buffer(static_cast<std::size_t>(bytes) + 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer.data(), bytes, nullptr, nullptr);
    output.assign(buffer.data());
    return !output.empty();
}

bool Cp936ToWide(const char* input, std::wstring& output) {
    if (!input) return false;
    MultiToWide(936, input, output);
    return !output.empty();
}
