#include "launcher/invocation.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const wchar_t* tail;
    const wchar_t* invocation;
    bool force_run;
    const wchar_t* params;
};

// Protocol "demo" throughout.
const Case kCases[] = {
    {L"\"demo://course/7\"", L"\"demo://course/7\"", false, L"course/7\""},
    {L"forcerun:demo://a=1", L"demo://a=1", true, L"a=1"},
    {L"forcerun:forcerun:x", L"forcerun:x", true, L"forcerun:x"},
    {L"FORCERUN:demo://a", L"FORCERUN:demo://a", false, L"a"},
    {L"DEMO://a", L"DEMO://a", false, L"DEMO://a"},
    {L"demo:course", L"demo:course", false, L"urse"},
    {L"x demo://y demo://z", L"x demo://y demo://z", false, L"y demo://z"},
    {L"demo://", L"demo://", false, L""},
    {L"", L"", false, L""},
    {L" forcerun:demo://a", L" forcerun:demo://a", false, L"a"},
    {L"\"forcerun:demo://a\"", L"\"forcerun:demo://a\"", false, L"a\""},
    // Fewer than three characters behind the protocol: empty, never past the end.
    {L"demo", L"demo", false, L""},
    {L"x demo:/", L"x demo:/", false, L""},
    {L"%20demo://%41", L"%20demo://%41", false, L"%41"},
};

TEST(Invocation, TableOfTails) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "tail index " << (&c - kCases));
        const SplitInvocation split = SplitForceRun(c.tail);
        EXPECT_EQ(split.invocation, c.invocation);
        EXPECT_EQ(split.force_run, c.force_run);
        const auto pos = FindProtocol(split.invocation, L"demo");
        EXPECT_EQ(ExtractClientParams(split.invocation, pos, 4), c.params);
    }
}

TEST(Invocation, EmptyProtocolIsFoundAtStartAndDropsThreeCharacters) {
    EXPECT_EQ(FindProtocol(L"abcdef", L""), std::optional<std::size_t>(0));
    EXPECT_EQ(ExtractClientParams(L"abcdef", FindProtocol(L"abcdef", L""), 0), L"def");
    EXPECT_EQ(ExtractClientParams(L"ab", FindProtocol(L"ab", L""), 0), L"");
    EXPECT_EQ(ExtractClientParams(L"", FindProtocol(L"", L""), 0), L"");
}

TEST(Invocation, ConfiguredArgsAreAppendedOnlyWhenAbsent) {
    struct ArgCase {
        const wchar_t* params;
        std::vector<std::wstring> args;
        const wchar_t* expected;
    };
    const ArgCase cases[] = {
        {L"x -a", {L"-a", L"-b"}, L"x -a -b"},
        {L"data=1", {L"a"}, L"data=1"},            // found inside a word
        {L"", {L""}, L""},                         // an empty item is always found
        {L"p", {L"-v", L"-v"}, L"p -v"},           // found in what was just appended
        {L"", {L"-x"}, L" -x"},
        {L"p IsAdmin", {L"IsAdmin", L"-k"}, L"p IsAdmin -k"},
    };
    for (const ArgCase& c : cases) {
        std::wstring params = c.params;
        AppendConfiguredArgs(params, c.args);
        EXPECT_EQ(params, c.expected);
    }
}

TEST(Invocation, AdminFlagComesBeforeConfiguredArgs) {
    std::wstring params = L"a=1";
    AppendAdminFlagIfHeld(params, true);
    AppendConfiguredArgs(params, {L"IsAdmin", L"-z"});
    EXPECT_EQ(params, L"a=1 IsAdmin -z");

    std::wstring unchanged = L"a=1";
    AppendAdminFlagIfHeld(unchanged, false);
    EXPECT_EQ(unchanged, L"a=1");
}

}  // namespace
