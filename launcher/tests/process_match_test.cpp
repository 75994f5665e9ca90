// Which executable names count as the client, and which normalised paths
// are in the pipe namespace. Pure logic: also built natively.
#include "launcher/process_match.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

struct NameCase {
    const wchar_t* exe_file;
    const wchar_t* name;
    bool matches;
};

TEST(ExeNameMatches, WholeNameCaseSensitiveBareFileNameOnly) {
    const NameCase cases[] = {
        {L"client.exe", L"client.exe", true},
        {L"Client.exe", L"client.exe", false},
        {L"client.exe", L"client", false},
        {L"client.exe.bak", L"client.exe", false},
        {L"myclient.exe", L"client.exe", false},
        {L"client.exe", L"C:\\app\\client.exe", false},
        {L"", L"", false},
        {L"client.exe", L"", false},
    };
    for (const NameCase& c : cases) {
        wchar_t field[260] = {};
        std::wcsncpy(field, c.exe_file, 259);
        EXPECT_EQ(ExeNameMatches(field, 260, c.name), c.matches) << c.exe_file << L" / " << c.name;
    }
}

TEST(ExeNameMatches, EmbeddedZeroInTheNameNeverMatches) {
    wchar_t field[260] = L"client.exe";
    EXPECT_FALSE(ExeNameMatches(field, 260, std::wstring(L"client.exe\0x", 12)));
}

TEST(ExeNameMatches, FieldWithoutTerminatorIsReadOnlyToItsEnd) {
    wchar_t field[4] = {L'a', L'b', L'c', L'd'};
    EXPECT_TRUE(ExeNameMatches(field, 4, L"abcd"));
    EXPECT_FALSE(ExeNameMatches(field, 4, L"abcde"));
    EXPECT_FALSE(ExeNameMatches(nullptr, 0, L"abcd"));
}

TEST(IsLocalPipePath, PrefixInAnyLetterCase) {
    EXPECT_TRUE(IsLocalPipePath(L"\\\\.\\Pipe\\client"));
    EXPECT_TRUE(IsLocalPipePath(L"\\\\.\\PIPE\\"));
    EXPECT_TRUE(IsLocalPipePath(L"\\\\.\\pipe\\a\\b"));
    EXPECT_FALSE(IsLocalPipePath(L"\\\\.\\C:\\victim.txt"));
    EXPECT_FALSE(IsLocalPipePath(L"\\\\.\\Pipe"));
    EXPECT_FALSE(IsLocalPipePath(L"\\\\.\\pipes\\x"));
    EXPECT_FALSE(IsLocalPipePath(L"\\\\server\\pipe\\x"));
    EXPECT_FALSE(IsLocalPipePath(L""));
}

}  // namespace
