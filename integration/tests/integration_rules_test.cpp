#include <gtest/gtest.h>

#include <string>

#include "integration/open_command.h"
#include "integration/shortcut_rules.h"

namespace {

using namespace integration;

TEST(OpenCommand, QuotesLauncherAndPlaceholder) {
    EXPECT_EQ(OpenCommandText(L"C:\\Program Files\\Q\\Quenda.exe"), L"\"C:\\Program Files\\Q\\Quenda.exe\" \"%1\"");
}

TEST(OpenCommand, DataIsTheTextAndItsTerminator) {
    EXPECT_EQ(OpenCommandBytes(0), 2u);
    EXPECT_EQ(OpenCommandBytes(40), 82u);
    EXPECT_EQ(OpenCommandBytes(1000), 2002u);
}

TEST(OpenCommand, KeyOfAnEmptyProtocolIsRefused) {
    EXPECT_TRUE(IsProtocolCommandKey(L"abc\\shell\\open\\command"));
    EXPECT_FALSE(IsProtocolCommandKey(L"\\shell\\open\\command"));
    EXPECT_FALSE(IsProtocolCommandKey(L""));
    EXPECT_FALSE(IsProtocolCommandKey(nullptr));
}

TEST(ShortcutRules, FileNamePart) {
    EXPECT_EQ(FileNamePart(L"C:\\a\\QUENDA.EXE"), L"QUENDA.EXE");
    EXPECT_EQ(FileNamePart(L"Quenda.exe"), L"Quenda.exe");
    EXPECT_EQ(FileNamePart(L"C:\\a\\"), L"");
}

TEST(ShortcutRules, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(EqualIgnoringAsciiCase(L"Quenda.EXE", L"qUENDA.exe"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"\u00C4rger", L"\u00E4rger"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"abc", L"abcd"));
}

TEST(ShortcutRules, PathMustFitWithItsTerminator) {
    const std::wstring desktop = L"C:\\Users\\Public\\Desktop";  // 23 units
    EXPECT_EQ(ShortcutPath(desktop, L"App"), L"C:\\Users\\Public\\Desktop\\App.lnk");
    // 23 + 1 + name + 4 must stay below 260.
    EXPECT_EQ(ShortcutPath(desktop, std::wstring(231, L'n')).size(), 259u);
    EXPECT_TRUE(ShortcutPath(desktop, std::wstring(232, L'n')).empty());
}

TEST(ShortcutRules, WhenTheOldShortcutGoes) {
    struct Case {
        const char* what;
        bool old_existed;
        const wchar_t* old_name;
        const wchar_t* new_name;
        const wchar_t* old_target;
        const wchar_t* launcher;
        bool removed;
    };
    const Case cases[] = {
        {"renamed shortcut of this launcher", true, L"Old", L"New", L"D:\\OLD\\QUENDA.EXE", L"C:\\n\\Quenda.exe", true},
        {"old file did not exist", false, L"Old", L"New", L"D:\\QUENDA.EXE", L"C:\\Quenda.exe", false},
        {"no new name", true, L"Old", nullptr, L"D:\\QUENDA.EXE", L"C:\\Quenda.exe", false},
        {"empty new name", true, L"Old", L"", L"D:\\QUENDA.EXE", L"C:\\Quenda.exe", false},
        {"names equal but for case", true, L"My App", L"MY APP", L"D:\\QUENDA.EXE", L"C:\\Quenda.exe", false},
        {"another program", true, L"Old", L"New", L"D:\\Other.exe", L"C:\\Quenda.exe", false},
        {"old target empty", true, L"Old", L"New", L"", L"C:\\Quenda.exe", false},
        {"no launcher path", true, L"Old", L"New", L"D:\\QUENDA.EXE", nullptr, false},
        {"long name against its short form", true, L"Old", L"New", L"D:\\QUENDA~1.EXE", L"C:\\QuendaLauncher.exe",
         false},
        {"bare file names", true, L"Old", L"New", L"quenda.exe", L"Quenda.exe", true},
    };
    for (const Case& c : cases) {
        OldShortcutFacts facts;
        facts.old_existed = c.old_existed;
        facts.old_name = c.old_name;
        facts.new_name = c.new_name;
        facts.old_target = c.old_target;
        facts.launcher_path = c.launcher;
        EXPECT_EQ(MayRemoveOldShortcut(facts), c.removed) << c.what;
    }
}

}  // namespace
