// Rules for the entries of an update archive that need no Win32: how entry
// names are made safe, how attributes and time stamps are decoded from the ZIP
// records. Portable, so that it is also tested and fuzzed natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace archive_rules {

// Paths live in buffers of this many UTF-16 units, terminator included.
constexpr std::size_t kPathCapacity = 260;

// Drops drive prefixes ("X:"), leading separators and everything up to a ".."
// component that follows a separator, pass after pass, from the front of the
// decoded name. A zero character ends the name.
std::wstring SanitizeEntryName(const std::wstring& decoded);

// Why a relative name may not be used below the installation folder.
enum class NameCheck {
    Ok,
    Empty,            // nothing left, or only separators
    Absolute,         // starts with a separator (names a drive or share root)
    EmptyComponent,   // "a//b": two separators in a row
    DotComponent,     // "." or ".." as a component: could climb above the root
    TrailingDotOrSpace,  // Windows drops them: "a." and "a " alias "a"
    Stream,           // ":" in a component: a drive or an alternate data stream
    ForbiddenCharacter,  // control characters and < > " | ? *
    DeviceName,       // CON, NUL, COM1, ... also with an extension
};

// Checks every component of a relative name (separators "/" and "\"). A name
// may end with a separator (a folder). Only Ok may be joined to the root.
NameCheck CheckRelativeName(const std::wstring& name);

// True when the component (without separators) names a Windows device.
bool IsDeviceName(const std::wstring& component);

// Splits after the last "/" or "\": the folder part keeps that separator, the
// file part is the rest (empty for a name that ends with a separator).
struct SplitName {
    std::wstring folder;
    std::wstring file;
};
SplitName SplitAtLastSeparator(const std::wstring& name);

// Windows file attribute bits from the central record's version-made-by and
// external attributes: DOS bits for DOS-like hosts, the Unix mode otherwise.
std::uint32_t DecodeAttributes(std::uint32_t version_made_by, std::uint32_t external_attributes);
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;

// A DOS date (high 16 bits) and time (low 16 bits) as calendar fields; none
// when they name no real calendar time (month 0, 31 February, second 60).
struct CalendarTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
std::optional<CalendarTime> DecodeDosDateTime(std::uint32_t dos_date_time);

// The times of the first extended-timestamp ("UT") block of an extra field,
// in seconds since 1970-01-01 UTC. Only times whose four bytes lie inside
// both the block and the field are present. None when there is no such block.
struct ExtendedTimestamp {
    std::optional<std::int32_t> modification;
    std::optional<std::int32_t> access;
    std::optional<std::int32_t> creation;
};
std::optional<ExtendedTimestamp> FindExtendedTimestamp(const unsigned char* field, std::size_t length);

// 100-nanosecond intervals since 1601-01-01 UTC.
std::uint64_t UnixTimeToFileTime(std::int32_t seconds);

}  // namespace archive_rules
