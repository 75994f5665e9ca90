#include "launcher/process_match.h"

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool ExeNameMatches(const wchar_t* exe_file, std::size_t capacity, const std::wstring& name) {
    if (exe_file == nullptr || name.empty()) return false;
    std::size_t length = 0;
    while (length < capacity && exe_file[length] != L'\0') ++length;
    return std::wstring(exe_file, length) == name;
}

bool IsLocalPipePath(const std::wstring& normalised_path) {
    static const std::wstring kPrefix = L"\\\\.\\pipe\\";
    if (normalised_path.size() < kPrefix.size()) return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        if (AsciiLower(normalised_path[i]) != kPrefix[i]) return false;
    }
    return true;
}
