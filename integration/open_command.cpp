#include "integration/open_command.h"

namespace integration {

std::wstring OpenCommandText(const std::wstring& launcher_path) {
    return L"\"" + launcher_path + L"\" \"%1\"";
}

// Registry strings are UTF-16 whatever the width of wchar_t where this is built.
std::size_t OpenCommandBytes(std::size_t text_length) { return (text_length + 1) * sizeof(char16_t); }

bool IsProtocolCommandKey(const wchar_t* sub_key) {
    return sub_key != nullptr && sub_key[0] != L'\0' && sub_key[0] != L'\\';
}

}  // namespace integration
