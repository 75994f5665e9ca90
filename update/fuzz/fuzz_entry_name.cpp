// Entry names as an attacker may store them: whatever the sanitiser leaves
// and the check accepts must stay below the root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/archive_rules.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // UTF-16 units, as MultiByteToWideChar produces them.
    std::wstring name;
    for (std::size_t i = 0; i + 1 < size; i += 2) name += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    const std::wstring safe = archive_rules::SanitizeEntryName(name);
    const std::wstring cut = name.substr(0, name.find(L'\0'));
    Require(safe.size() <= cut.size());
    Require(cut.compare(cut.size() - safe.size(), safe.size(), safe) == 0);  // a tail of the name

    const archive_rules::SplitName parts = archive_rules::SplitAtLastSeparator(safe);
    Require(parts.folder + parts.file == safe);

    if (archive_rules::CheckRelativeName(safe) != archive_rules::NameCheck::Ok) return 0;
    Require(!safe.empty() && !IsSeparator(safe[0]));
    int depth = 0;
    std::size_t start = 0;
    while (start < safe.size()) {
        std::size_t end = start;
        while (end < safe.size() && !IsSeparator(safe[end])) ++end;
        const std::wstring component = safe.substr(start, end - start);
        Require(!component.empty());
        Require(component != L"." && component != L"..");
        Require(component.find(L':') == std::wstring::npos);
        Require(component.back() != L'.' && component.back() != L' ');
        Require(!archive_rules::IsDeviceName(component));
        ++depth;
        start = end + 1;
    }
    Require(depth > 0);
    return 0;
}
