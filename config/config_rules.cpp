#include "config/config_rules.h"

#include <algorithm>

namespace config_rules {

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool ContainsAsciiNoCase(const std::string& haystack, const std::string& needle) {
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                          [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
    return it != haystack.end();
}

std::string DropExtension(const std::string& name) {
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
}

std::wstring DropExtension(const std::wstring& name) {
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
}

Language LanguageFromValue(const std::string& value) {
    // The registry text ends at its first NUL, as a C string would.
    const std::string text(value.c_str());
    if (ContainsAsciiNoCase(text, "zh-CN")) return Language::Chinese;
    if (ContainsAsciiNoCase(text, "en-US")) return Language::English;
    return Language::Unchanged;
}

std::wstring LanguageKeyPath(const std::wstring& base_name) { return L"SOFTWARE\\" + base_name + L"\\Language"; }

}  // namespace config_rules
