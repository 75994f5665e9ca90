// Naming and clean-up rules of the desktop shortcut step, free of Windows
// calls so that they can be checked natively.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace integration {

// Room for a shortcut or icon path, terminator included.
constexpr std::size_t kPathUnits = 260;

// A configured name counts only when it holds at least one character.
bool IsPresent(const wchar_t* text);

bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

// What follows the last backslash, or the whole path when it has none.
std::wstring_view FileNamePart(std::wstring_view path);

// "<desktop>\<name>.lnk", or empty when it would not fit kPathUnits units
// with its terminator (such a file could not be opened by its plain path
// anyway, and the step must not work on a cut name).
std::wstring ShortcutPath(std::wstring_view desktop, std::wstring_view name);

// Whether the shortcut under the old name may go once it has been saved under
// the new one: only a shortcut of this launcher (same target file name, the
// old target as read in its short form) that was renamed, never one that the
// save has just rewritten in place.
struct OldShortcutFacts {
    bool old_existed = false;
    const wchar_t* old_name = nullptr;
    const wchar_t* new_name = nullptr;
    std::wstring_view old_target;       // as stored in the old shortcut
    const wchar_t* launcher_path = nullptr;
};
bool MayRemoveOldShortcut(const OldShortcutFacts& facts);

}  // namespace integration
