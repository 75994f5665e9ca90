// Rules of the product configuration that need no Win32: name matching, the
// base name of the client program, the language value. Portable.
#pragma once

#include <string>

namespace config_rules {

// ASCII letters compared without regard to case; other bytes exactly.
bool EqualsAsciiNoCase(const std::string& a, const std::string& b);
// ASCII case-insensitive substring search (like StrStrIA for ASCII needles).
bool ContainsAsciiNoCase(const std::string& haystack, const std::string& needle);

// The program name without its last four characters (".exe"); a shorter name
// is used whole.
std::string DropExtension(const std::string& name);
std::wstring DropExtension(const std::wstring& name);

enum class Language { Chinese, English, Unchanged };
// "zh-CN" anywhere wins over "en-US" anywhere; anything else changes nothing.
Language LanguageFromValue(const std::string& value);

// "SOFTWARE\" + base name + "\Language", below HKEY_CURRENT_USER.
std::wstring LanguageKeyPath(const std::wstring& base_name);

}  // namespace config_rules
