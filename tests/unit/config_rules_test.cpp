#include "config/config_rules.h"

#include <gtest/gtest.h>

namespace {

using config_rules::Language;

TEST(ConfigRules, LanguageValue) {
    const struct {
        const char* value;
        Language expected;
    } cases[] = {
        {"zh-CN", Language::Chinese},   {"ZH-cn", Language::Chinese},
        {"en-US", Language::English},   {"EN-us", Language::English},
        {"en-US zh-CN", Language::Chinese}, {"xx zh-cn yy", Language::Chinese},
        {"en-GB", Language::Unchanged}, {"", Language::Unchanged},
        {"zh_CN", Language::Unchanged},
    };
    for (const auto& c : cases) EXPECT_EQ(config_rules::LanguageFromValue(c.value), c.expected) << c.value;
    // The registry text ends at its first NUL.
    EXPECT_EQ(config_rules::LanguageFromValue(std::string("x\0en-US", 7)), Language::Unchanged);
}

TEST(ConfigRules, BaseNameDropsFourCharacters) {
    EXPECT_EQ(config_rules::DropExtension(std::string("client.exe")), "client");
    EXPECT_EQ(config_rules::DropExtension(std::string(".exe")), "");
    EXPECT_EQ(config_rules::DropExtension(std::string("abc")), "abc");
    EXPECT_EQ(config_rules::DropExtension(std::wstring(L"ab")), L"ab");
    EXPECT_EQ(config_rules::LanguageKeyPath(L"client"), L"SOFTWARE\\client\\Language");
    EXPECT_EQ(config_rules::LanguageKeyPath(L""), L"SOFTWARE\\\\Language");
}

TEST(ConfigRules, AsciiCaseInsensitiveNames) {
    EXPECT_TRUE(config_rules::EqualsAsciiNoCase("PROGNAME", "ProgName"));
    EXPECT_TRUE(config_rules::EqualsAsciiNoCase("shortcut_NEW_cn", "shortcut_new_cn"));
    EXPECT_FALSE(config_rules::EqualsAsciiNoCase("ProgNam", "ProgName"));
    EXPECT_FALSE(config_rules::EqualsAsciiNoCase("Prog_Name", "ProgName"));
    // Only ASCII letters fold: bytes above 0x7F compare exactly.
    EXPECT_FALSE(config_rules::EqualsAsciiNoCase("\xC3\x89", "\xC3\xA9"));
}

}  // namespace
