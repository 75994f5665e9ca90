#include "integration/shortcut_rules.h"

namespace integration {

namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool IsPresent(const wchar_t* text) { return text != nullptr && text[0] != L'\0'; }

bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

std::wstring_view FileNamePart(std::wstring_view path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

std::wstring ShortcutPath(std::wstring_view desktop, std::wstring_view name) {
    static constexpr std::wstring_view kSuffix = L".lnk";
    const std::size_t length = desktop.size() + 1 + name.size() + kSuffix.size();
    if (length >= kPathUnits) return std::wstring();
    std::wstring path;
    path.reserve(length);
    path.append(desktop).append(1, L'\\').append(name).append(kSuffix);
    return path;
}

bool MayRemoveOldShortcut(const OldShortcutFacts& facts) {
    if (!facts.old_existed || !IsPresent(facts.new_name) || !IsPresent(facts.old_name)) return false;
    if (EqualIgnoringAsciiCase(facts.old_name, facts.new_name)) return false;
    if (facts.old_target.empty() || !IsPresent(facts.launcher_path)) return false;
    return EqualIgnoringAsciiCase(FileNamePart(facts.old_target), FileNamePart(facts.launcher_path));
}

}  // namespace integration
