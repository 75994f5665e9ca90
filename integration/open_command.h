// The open command that the URL protocol's registry key stores, composed
// without any Windows call so that it can be checked natively.
#pragma once

#include <cstddef>
#include <string>

namespace integration {

// The value buffer is never smaller than this many UTF-16 units; readers and
// older installers expect the value's data to span the whole buffer.
constexpr std::size_t kCommandUnits = 260;

// "\"<launcher path>\" \"%1\"": the launcher quoted, so a path with blanks
// stays one token, and the URL placeholder quoted for the same reason.
std::wstring OpenCommandText(const std::wstring& launcher_path);

// Units of the zero-filled buffer written as the value: 260, or the text and
// its terminator when a long launcher path needs more. A longer path is
// stored whole rather than cut, since a cut path names another program.
std::size_t OpenCommandUnits(std::size_t text_length);

// A sub key that starts with a backslash comes from an empty protocol name.
// It is refused rather than created: depending on how the registry treats
// the leading separator it would address HKEY_CLASSES_ROOT\shell, the
// class-wide verbs, which are none of the launcher's business.
bool IsProtocolCommandKey(const wchar_t* sub_key);

}  // namespace integration
