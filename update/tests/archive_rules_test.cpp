#include "update/archive_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using archive_rules::NameCheck;

TEST(SanitizeEntryName, ShortensAsTheExamplesShow) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {L"C:\\dir\\f.txt", L"dir\\f.txt"},
        {L"\\\\server\\share\\f", L"server\\share\\f"},
        {L"a/b/../c/d.txt", L"c/d.txt"},
        {L"x/../y/../z", L"z"},
        {L"a/../../b.txt", L"../b.txt"},
        {L"../b.txt", L"../b.txt"},
        {L"a/..", L"a/.."},
        {L"C:", L""},
        {L"C:/x", L"x"},
        {L"//x", L"x"},
        {L"a:b:c", L"c"},
        {L"\\\\?\\C:\\x", L"?\\C:\\x"},
        {L"a\\..\\b/../c", L"c"},
        {L"plain.txt", L"plain.txt"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(archive_rules::SanitizeEntryName(c.in), c.out) << c.in;
}

TEST(SanitizeEntryName, StopsAtAZeroCharacter) {
    const std::wstring name(L"dir/f.txt\0/../../evil", 21);
    EXPECT_EQ(archive_rules::SanitizeEntryName(name), L"dir/f.txt");
}

TEST(CheckRelativeName, AcceptsOrdinaryNames) {
    for (const wchar_t* name : {L"a.txt", L"dir/", L"a/b/c.txt", L"a\\b.txt", L".hidden", L"a..b", L"con2",
                                L"CONSOLE.txt", L"nul_file", L"COM10", L"my file.txt", L"\u00e9t\u00e9/caf\u00e9.txt",
                                L" lead", L"a/b/"}) {
        EXPECT_EQ(archive_rules::CheckRelativeName(name), NameCheck::Ok) << name;
    }
}

TEST(CheckRelativeName, RefusesWhatCouldLeaveTheRootOrAliasAnotherFile) {
    struct Case {
        const wchar_t* name;
        NameCheck verdict;
    };
    const Case cases[] = {
        {L"", NameCheck::Empty},
        {L"/a", NameCheck::Absolute},
        {L"\\a", NameCheck::Absolute},
        {L"../b.txt", NameCheck::DotComponent},
        {L"..", NameCheck::DotComponent},
        {L"a/..", NameCheck::DotComponent},
        {L"a\\..\\..\\b", NameCheck::DotComponent},
        {L"./a", NameCheck::DotComponent},
        {L"a//b", NameCheck::EmptyComponent},
        {L"a.", NameCheck::TrailingDotOrSpace},
        {L"...", NameCheck::TrailingDotOrSpace},
        {L"a /b", NameCheck::TrailingDotOrSpace},
        {L"a/b ", NameCheck::TrailingDotOrSpace},
        {L"a:b", NameCheck::Stream},
        {L"file.txt:ads", NameCheck::Stream},
        {L"file.txt::$DATA", NameCheck::Stream},
        {L"d/C:x", NameCheck::Stream},
        {L"CON", NameCheck::DeviceName},
        {L"nul.txt", NameCheck::DeviceName},
        {L"Com1.log", NameCheck::DeviceName},
        {L"lpt9", NameCheck::DeviceName},
        {L"aux .txt", NameCheck::DeviceName},
        {L"COM\u00b9", NameCheck::DeviceName},
        {L"x/prn/y", NameCheck::DeviceName},
        {L"conin$", NameCheck::DeviceName},
        {L"a?b", NameCheck::ForbiddenCharacter},
        {L"a*b", NameCheck::ForbiddenCharacter},
        {L"a<b", NameCheck::ForbiddenCharacter},
        {L"a>b", NameCheck::ForbiddenCharacter},
        {L"a|b", NameCheck::ForbiddenCharacter},
        {L"a\"b", NameCheck::ForbiddenCharacter},
        {L"a\x01" L"b", NameCheck::ForbiddenCharacter},
    };
    for (const Case& c : cases) EXPECT_EQ(archive_rules::CheckRelativeName(c.name), c.verdict) << c.name;
}

TEST(SplitAtLastSeparator, KeepsTheSeparatorWithTheFolder) {
    EXPECT_EQ(archive_rules::SplitAtLastSeparator(L"a/b\\c.txt").folder, L"a/b\\");
    EXPECT_EQ(archive_rules::SplitAtLastSeparator(L"a/b\\c.txt").file, L"c.txt");
    EXPECT_EQ(archive_rules::SplitAtLastSeparator(L"c.txt").folder, L"");
    EXPECT_EQ(archive_rules::SplitAtLastSeparator(L"dir/").file, L"");
}

TEST(DecodeAttributes, DosAndUnixHosts) {
    const std::uint32_t kDos = 0x0014, kUnix = 0x031E, kNtfs = 0x0B14, kMac = 0x0714;
    EXPECT_EQ(archive_rules::DecodeAttributes(kDos, 0x21), 0x21u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kDos, 0x10), 0x10u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kNtfs, 0x26), 0x26u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kMac, 0x02), 0x02u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kUnix, 0100644u << 16), 0x20u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kUnix, 0100444u << 16), 0x21u);
    EXPECT_EQ(archive_rules::DecodeAttributes(kUnix, (040755u << 16) | 0x10), 0x30u);
    // A Unix host that recorded no mode: no write bit, so read-only.
    EXPECT_EQ(archive_rules::DecodeAttributes(kUnix, 0), 0x21u);
    // A DOS host ignores the high half.
    EXPECT_EQ(archive_rules::DecodeAttributes(kDos, 040755u << 16), 0x00u);
}

TEST(DecodeDosDateTime, GivesTheCalendarFields) {
    const auto t = archive_rules::DecodeDosDateTime(0x5A216000u);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->year, 2025);
    EXPECT_EQ(t->month, 1);
    EXPECT_EQ(t->day, 1);
    EXPECT_EQ(t->hour, 12);
    EXPECT_EQ(t->minute, 0);
    EXPECT_EQ(t->second, 0);
    const auto s = archive_rules::DecodeDosDateTime((0x585Du << 16) | (23u << 11) | (59u << 5) | 29u);
    ASSERT_TRUE(s);  // 2024-02-29 23:59:58
    EXPECT_EQ(s->day, 29);
    EXPECT_EQ(s->second, 58);
}

TEST(DecodeDosDateTime, NoCalendarTimeGivesNone) {
    for (const std::uint32_t value : {0u, 0x5A010000u /* month 0 */, 0x5A200000u /* day 0 */,
                                      0x5A5E0000u /* 2025-02-30 */, 0x5A5D0000u /* 2025-02-29 */,
                                      0x5BA10000u /* month 13 */, 0x5A21C000u /* hour 24 */,
                                      0x5A210780u /* minute 60 */, 0x5A21001Eu /* second 60 */,
                                      0x5A9F0000u /* 2025-04-31 */}) {
        EXPECT_FALSE(archive_rules::DecodeDosDateTime(value)) << std::hex << value;
    }
}

std::vector<unsigned char> Block(char a, char b, std::vector<unsigned char> data, int declared = -1) {
    const std::size_t size = declared < 0 ? data.size() : static_cast<std::size_t>(declared);
    std::vector<unsigned char> out = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                      static_cast<unsigned char>(size & 0xFF), static_cast<unsigned char>(size >> 8)};
    for (const unsigned char b : data) out.push_back(b);
    return out;
}

std::vector<unsigned char> Le32(std::int32_t v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    return {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u >> 16),
            static_cast<unsigned char>(u >> 24)};
}

std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> out;
    for (const auto& p : parts) {
        for (const unsigned char b : p) out.push_back(b);
    }
    return out;
}

TEST(FindExtendedTimestamp, ReadsThePresentTimesInOrder) {
    auto field = Block('U', 'T', Concat({{7}, Le32(1000), Le32(2000), Le32(-3000)}));
    auto times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_EQ(times->modification, 1000);
    EXPECT_EQ(times->access, 2000);
    EXPECT_EQ(times->creation, -3000);

    field = Block('U', 'T', Concat({{6}, Le32(20), Le32(30)}));
    times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_FALSE(times->modification);
    EXPECT_EQ(times->access, 20);
    EXPECT_EQ(times->creation, 30);
}

TEST(FindExtendedTimestamp, FindsTheBlockBehindALongOne) {
    const auto field = Concat({Block('x', 'y', std::vector<unsigned char>(300, 0x55)),
                               Block('U', 'T', Concat({{1}, Le32(1735732800)})),
                               Block('U', 'T', Concat({{1}, Le32(5)}))});
    const auto times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_EQ(times->modification, 1735732800);
    EXPECT_FALSE(times->access);
}

TEST(FindExtendedTimestamp, NeverReadsBeyondTheBlockOrTheField) {
    // Flags announce three times, the block holds one.
    auto field = Block('U', 'T', Concat({{7}, Le32(1)}));
    auto times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_EQ(times->modification, 1);
    EXPECT_FALSE(times->access);
    EXPECT_FALSE(times->creation);

    // The block claims 13 bytes, the field ends after three of them.
    field = Block('U', 'T', Concat({{1}, {0x10, 0x20}}), 13);
    times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_FALSE(times->modification);

    // The block is shorter than the field: the next block's bytes are not time.
    field = Concat({Block('U', 'T', {1, 9, 9}), Block('z', 'z', {1, 2, 3, 4})});
    times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_FALSE(times->modification);

    // A header alone at the end of the field is not examined.
    field = Block('U', 'T', {});
    EXPECT_FALSE(archive_rules::FindExtendedTimestamp(field.data(), field.size()));
    // An empty UT block with a following byte: found, but without times.
    field = Concat({Block('U', 'T', {}), {0}});
    times = archive_rules::FindExtendedTimestamp(field.data(), field.size());
    ASSERT_TRUE(times);
    EXPECT_FALSE(times->modification);

    // A block size that jumps past the end ends the search.
    field = Concat({Block('x', 'y', {}, 0xFFFF), Block('U', 'T', Concat({{1}, Le32(1)}))});
    EXPECT_FALSE(archive_rules::FindExtendedTimestamp(field.data(), field.size()));
    EXPECT_FALSE(archive_rules::FindExtendedTimestamp(nullptr, 0));
}

TEST(UnixTimeToFileTime, CountsFrom1601) {
    EXPECT_EQ(archive_rules::UnixTimeToFileTime(0), 116444736000000000ULL);
    EXPECT_EQ(archive_rules::UnixTimeToFileTime(-1), 116444735990000000ULL);
    EXPECT_EQ(archive_rules::UnixTimeToFileTime(INT32_MIN), (11644473600ULL - 2147483648ULL) * 10000000ULL);
}

}  // namespace
