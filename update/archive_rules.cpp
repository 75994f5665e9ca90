#include "update/archive_rules.h"

namespace archive_rules {

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return i == a.size() && b[i] == L'\0';
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) return 29;
    return kDays[month - 1];
}

std::uint32_t ReadLe16(const unsigned char* p) { return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8); }

std::int32_t ReadLe32Signed(const unsigned char* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    // Two's complement without relying on implementation-defined conversion.
    return v <= 0x7FFFFFFFu ? static_cast<std::int32_t>(v)
                            : -static_cast<std::int32_t>(~v) - 1;
}

}  // namespace

std::wstring SanitizeEntryName(const std::wstring& decoded) {
    const std::wstring name = decoded.substr(0, decoded.find(L'\0'));
    static const wchar_t* const kClimbs[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
    std::size_t pos = 0;
    for (;;) {
        if (pos + 1 < name.size() && name[pos + 1] == L':') {
            pos += 2;
            continue;
        }
        if (pos < name.size() && IsSeparator(name[pos])) {
            pos += 1;
            continue;
        }
        bool moved = false;
        for (const wchar_t* climb : kClimbs) {
            const std::size_t found = name.find(climb, pos);
            if (found != std::wstring::npos) {
                pos = found + 4;
                moved = true;
                break;
            }
        }
        if (!moved) break;
    }
    return name.substr(pos);
}

bool IsDeviceName(const std::wstring& component) {
    // Windows resolves the device by the part before the first dot, with
    // trailing spaces ignored: "nul.txt" and "CON .log" are devices too.
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    static const wchar_t* const kPlain[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kPlain) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() == 4 && (EqualsNoCase(base.substr(0, 3), L"COM") || EqualsNoCase(base.substr(0, 3), L"LPT"))) {
        const wchar_t digit = base[3];
        // Superscript one, two and three count as digits for these names.
        return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    }
    return false;
}

NameCheck CheckRelativeName(const std::wstring& name) {
    if (name.empty()) return NameCheck::Empty;
    if (IsSeparator(name[0])) return NameCheck::Absolute;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::wstring component = name.substr(start, end - start);
        if (component.empty()) return NameCheck::EmptyComponent;
        if (component == L"." || component == L"..") return NameCheck::DotComponent;
        if (component.back() == L'.' || component.back() == L' ') return NameCheck::TrailingDotOrSpace;
        for (const wchar_t c : component) {
            if (c == L':') return NameCheck::Stream;
            if (static_cast<std::uint32_t>(c) < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*') {
                return NameCheck::ForbiddenCharacter;
            }
        }
        if (IsDeviceName(component)) return NameCheck::DeviceName;
        // A separator at the very end closes a folder name; nothing follows.
        start = end + 1;
    }
    return NameCheck::Ok;
}

SplitName SplitAtLastSeparator(const std::wstring& name) {
    const std::size_t last = name.find_last_of(L"/\\");
    if (last == std::wstring::npos) return {std::wstring(), name};
    return {name.substr(0, last + 1), name.substr(last + 1)};
}

std::uint32_t DecodeAttributes(std::uint32_t version_made_by, std::uint32_t external_attributes) {
    const std::uint32_t a = external_attributes;
    const std::uint32_t host = (version_made_by >> 8) & 0xFF;
    bool directory = (a & (1u << 30)) != 0;
    bool read_only = (a & (1u << 23)) == 0;
    bool hidden = false;
    bool system = false;
    bool archive = true;
    // Archivers on MS-DOS (0), Macintosh (7), NTFS (11) and VFAT (14) hosts
    // store DOS attribute bits in the low byte instead of a Unix mode.
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        read_only = (a & 0x01) != 0;
        hidden = (a & 0x02) != 0;
        system = (a & 0x04) != 0;
        directory = (a & 0x10) != 0;
        archive = (a & 0x20) != 0;
    }
    std::uint32_t attributes = directory ? kAttrDirectory : 0;
    if (archive) attributes |= kAttrArchive;
    if (hidden) attributes |= kAttrHidden;
    if (read_only) attributes |= kAttrReadOnly;
    if (system) attributes |= kAttrSystem;
    return attributes;
}

std::optional<CalendarTime> DecodeDosDateTime(std::uint32_t dos_date_time) {
    const std::uint32_t date = dos_date_time >> 16;
    const std::uint32_t time = dos_date_time & 0xFFFF;
    CalendarTime t;
    t.year = static_cast<int>(date >> 9) + 1980;
    t.month = static_cast<int>((date >> 5) & 15);
    t.day = static_cast<int>(date & 31);
    t.hour = static_cast<int>(time >> 11);
    t.minute = static_cast<int>((time >> 5) & 63);
    t.second = static_cast<int>(time & 31) * 2;
    if (t.month < 1 || t.month > 12) return std::nullopt;
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
    if (t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
    return t;
}

std::optional<ExtendedTimestamp> FindExtendedTimestamp(const unsigned char* field, std::size_t length) {
    if (field == nullptr) return std::nullopt;
    std::size_t pos = 0;
    while (pos + 4 < length) {
        const std::size_t size = ReadLe16(field + pos + 2);
        if (field[pos] == 'U' && field[pos + 1] == 'T') {
            // Trust neither the flags nor the block size beyond the field.
            const std::size_t data = pos + 4;
            const std::size_t end = (size <= length - data) ? data + size : length;
            ExtendedTimestamp times;
            if (data >= end) return times;
            const unsigned flags = field[data];
            std::size_t at = data + 1;
            std::optional<std::int32_t>* const slots[3] = {&times.modification, &times.access, &times.creation};
            for (unsigned bit = 0; bit < 3; ++bit) {
                if ((flags & (1u << bit)) == 0) continue;
                if (end - at < 4) break;
                *slots[bit] = ReadLe32Signed(field + at);
                at += 4;
            }
            return times;
        }
        pos += 4 + size;
    }
    return std::nullopt;
}

std::uint64_t UnixTimeToFileTime(std::int32_t seconds) {
    // 1601 to 1970 is 11,644,473,600 seconds; the sum stays positive for any
    // 32-bit count.
    const std::int64_t since_1601 = static_cast<std::int64_t>(seconds) + 11644473600LL;
    return static_cast<std::uint64_t>(since_1601) * 10000000ULL;
}

}  // namespace archive_rules
