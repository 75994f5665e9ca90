// The open command that the URL protocol's registry key stores, composed
// without any Windows call so that it can be checked natively.
#pragma once

#include <cstddef>
#include <string>

namespace integration {

// "\"<launcher path>\" \"%1\"": the launcher quoted, so a path with blanks
// stays one token, and the URL placeholder quoted for the same reason.
std::wstring OpenCommandText(const std::wstring& launcher_path);

// Bytes of the value's data: the text and its terminator, nothing after it.
// A long launcher path is stored whole rather than cut, since a cut path
// names another program. Zero fill past the terminator would be no use to
// any reader and is harmful to some: Wine's shell reads the command into 256
// units and, finding more data than that, reports no association at all.
std::size_t OpenCommandBytes(std::size_t text_length);

// A sub key that starts with a backslash comes from an empty protocol name.
// It is refused rather than created: depending on how the registry treats
// the leading separator it would address HKEY_CLASSES_ROOT\shell, the
// class-wide verbs, which are none of the launcher's business.
bool IsProtocolCommandKey(const wchar_t* sub_key);

}  // namespace integration
