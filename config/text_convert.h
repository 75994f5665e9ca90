// Text conversions of the product configuration. Results are whole strings:
// a long value is never cut into a different one.
#pragma once

#include <string>

// Each answers false for null input, else whether the result is non-empty.
bool Utf8ToWide(const char* input, std::wstring& output);
bool Utf8ToAnsi(const char* input, std::string& output);
bool Cp936ToWide(const char* input, std::wstring& output);
