// The all-users desktop shortcut as the built launcher leaves it, read back
// through IShellLinkW / IPersistFile. Each case builds its own shortcuts with
// names of its own and removes them afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "integration/tests/integ_support.h"
#include "tests/support/harness.h"

namespace {

// What a shortcut that a case puts on the desktop points at.
enum class Target {
    OldLauncher,   // a launcher of the same file name in a folder that is gone
    OtherProgram,  // some other program
    Self,          // the very launcher that runs
    Garbage,       // a file that is no shell link at all
};

enum class State {
    Missing,    // no file of that name
    Untouched,  // the bytes it had before the run
    Updated,    // points at the launcher, with its folder, description and icon
};

struct Existing {
    const wchar_t* name;  // appended to the case's unique prefix
    Target target;
};

struct Expected {
    const wchar_t* name;
    State state;
    const wchar_t* source = nullptr;  // Updated: the shortcut whose arguments it carries
};

struct ShortcutCase {
    const char* what;
    bool english;
    // Configured names (appended to the prefix); nullptr leaves the element out.
    const wchar_t* cn_old;
    const wchar_t* cn_new;
    const wchar_t* en_old;
    const wchar_t* en_new;
    std::vector<Existing> existing;
    std::vector<Expected> expected;
    bool icon_file = false;                       // "<stem>.ico" beside the launcher
    const wchar_t* launcher_name = L"Quenda.exe";
};

const wchar_t kOldIcon[] = L"C:\\windows\\system32\\shell32.dll";
constexpr int kOldIconIndex = 4;

std::wstring ArgumentsOf(const std::wstring& name) { return L"--from \"" + name + L"\" -x"; }

std::string ConfigElement(const char* element, const std::wstring& prefix, const wchar_t* name) {
    if (name == nullptr) return std::string();
    return std::string("  <") + element + ">" + qt::ToUtf8(prefix + name) + "</" + element + ">\n";
}

void RunCase(const ShortcutCase& c, int row) {
    SCOPED_TRACE(c.what);
    const quenda::CoInitScope com;
    const std::wstring desktop = it::CommonDesktop();
    ASSERT_FALSE(desktop.empty());
    const std::wstring prefix = it::UniqueName(L"QIntegSc") + L"r" + std::to_wstring(row) + L"-";
    const std::wstring stem = it::UniqueName(L"qsc");
    const std::wstring client = stem + L".exe";
    it::ScopedKeyTree language(HKEY_CURRENT_USER, L"SOFTWARE\\" + stem);

    qt::Installation inst(L"integ-sc");
    // Both go before the installation folder, which a running client holds.
    it::ScopedKill kill(client);
    it::ScopedFiles cleanup(desktop, prefix);
    inst.InstallClient(client);
    inst.WriteConfig(qt::Installation::MakeConfig(qt::ToUtf8(client), "", "", {"--no-pipe"},
                                                  ConfigElement("shortcut_cn", prefix, c.cn_old) +
                                                      ConfigElement("shortcut_new_cn", prefix, c.cn_new) +
                                                      ConfigElement("shortcut_en", prefix, c.en_old) +
                                                      ConfigElement("shortcut_new_en", prefix, c.en_new)));
    if (c.english) {
        ASSERT_TRUE(it::WriteRegString(HKEY_CURRENT_USER, L"SOFTWARE\\" + stem + L"\\Language", nullptr, L"en-US"));
    }
    const std::wstring icon = inst.dir() + L"//" + stem + L".ico";
    if (c.icon_file) {
        ASSERT_TRUE(qt::WriteFileBytes(inst.path(stem + L".ico"), std::string(64, '\0')));
    }
    std::wstring launcher = inst.launcher();
    if (std::wstring(c.launcher_name) != L"Quenda.exe") {
        launcher = inst.path(c.launcher_name);
        ASSERT_TRUE(::MoveFileW(inst.launcher().c_str(), launcher.c_str()));
    }

    std::vector<std::pair<std::wstring, std::string>> before;  // path, bytes
    for (const Existing& e : c.existing) {
        const std::wstring path = desktop + L"\\" + prefix + e.name + L".lnk";
        if (e.target == Target::Garbage) {
            ASSERT_TRUE(qt::WriteFileBytes(path, "not a shell link"));
        } else {
            it::LinkInfo info;
            info.target = e.target == Target::OldLauncher    ? L"C:\\Quenda gone\\" + std::wstring(c.launcher_name)
                          : e.target == Target::OtherProgram ? std::wstring(L"C:\\Other place\\Other.exe")
                                                             : launcher;
            info.arguments = ArgumentsOf(e.name);
            info.working_folder = L"C:\\before";
            info.description = L"before";
            info.icon = kOldIcon;
            info.icon_index = kOldIconIndex;
            ASSERT_TRUE(it::CreateLink(path, info));
        }
        before.emplace_back(path, qt::ReadFileBytes(path));
    }

    const qt::RunResult run = qt::RunProcess(launcher, L"", inst.dir());
    ASSERT_NE(run.pid, 0u);
    ASSERT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_TRUE(inst.WaitForClientStarts(client, 1));

    for (const Expected& x : c.expected) {
        const std::wstring path = desktop + L"\\" + prefix + x.name + L".lnk";
        SCOPED_TRACE(qt::ToUtf8(x.name));
        switch (x.state) {
            case State::Missing:
                EXPECT_FALSE(qt::FileExists(path));
                break;
            case State::Untouched: {
                std::string old_bytes;
                for (const auto& b : before) {
                    if (b.first == path) old_bytes = b.second;
                }
                ASSERT_FALSE(old_bytes.empty());
                EXPECT_EQ(qt::ReadFileBytes(path), old_bytes);
                break;
            }
            case State::Updated: {
                const it::LinkInfo link = it::ReadLink(path);
                ASSERT_TRUE(link.loaded);
                EXPECT_EQ(link.target, launcher);
                EXPECT_EQ(link.arguments, ArgumentsOf(x.source));
                EXPECT_EQ(link.working_folder, inst.dir());
                EXPECT_EQ(link.description, stem);
                if (c.icon_file) {
                    EXPECT_EQ(link.icon, icon);
                    EXPECT_EQ(link.icon_index, 0);
                } else {
                    EXPECT_EQ(link.icon, kOldIcon);
                    EXPECT_EQ(link.icon_index, kOldIconIndex);
                }
                break;
            }
        }
    }
}

TEST(DesktopShortcut, OutcomesByDesktopStateLanguageAndNames) {
    const ShortcutCase cases[] = {
        {"old shortcut of this launcher is renamed",
         false, L"Old", L"New", nullptr, nullptr,
         {{L"Old", Target::OldLauncher}},
         {{L"Old", State::Missing}, {L"New", State::Updated, L"Old"}}},
        {"old shortcut of another program is copied and kept; an existing new one is overwritten",
         false, L"Old", L"New", nullptr, nullptr,
         {{L"Old", Target::OtherProgram}, {L"New", Target::OtherProgram}},
         {{L"Old", State::Untouched}, {L"New", State::Updated, L"Old"}}},
        {"only the new shortcut exists: updated in place, with the product icon",
         false, L"Old", L"New", nullptr, nullptr,
         {{L"New", Target::OldLauncher}},
         {{L"Old", State::Missing}, {L"New", State::Updated, L"New"}},
         true},
        {"neither exists: nothing is created",
         false, L"Old", L"New", nullptr, nullptr,
         {},
         {{L"Old", State::Missing}, {L"New", State::Missing}}},
        {"no new name: updated in place",
         false, L"Old", nullptr, nullptr, nullptr,
         {{L"Old", Target::OldLauncher}},
         {{L"Old", State::Updated, L"Old"}}},
        {"names equal but for ASCII case: updated, never deleted",
         false, L"Old", L"OLD", nullptr, nullptr,
         {{L"Old", Target::OldLauncher}},
         {{L"Old", State::Updated, L"Old"}}},
        {"names equal but for non-ASCII case are one file: updated, never deleted",
         false, L"\u00C4rger", L"\u00E4rger", nullptr, nullptr,
         {{L"\u00C4rger", Target::OldLauncher}},
         {{L"\u00C4rger", State::Updated, L"\u00C4rger"}}},
        {"only a new Chinese name configured: nothing changes",
         false, nullptr, L"New", nullptr, nullptr,
         {{L"New", Target::OldLauncher}},
         {{L"New", State::Untouched}}},
        {"Chinese start handles only the Chinese pair",
         false, L"Old", L"New", L"EnOld", L"EnNew",
         {{L"Old", Target::OldLauncher}, {L"EnOld", Target::OldLauncher}},
         {{L"Old", State::Missing}, {L"New", State::Updated, L"Old"}, {L"EnOld", State::Untouched},
          {L"EnNew", State::Missing}}},
        {"English start handles only the English pair",
         true, L"Old", L"New", L"EnOld", L"EnNew",
         {{L"Old", Target::OldLauncher}, {L"EnOld", Target::OldLauncher}},
         {{L"Old", State::Untouched}, {L"New", State::Missing}, {L"EnOld", State::Missing},
          {L"EnNew", State::Updated, L"EnOld"}}},
        {"a launcher name unlike its short form never removes the old shortcut",
         false, L"Old", L"New", nullptr, nullptr,
         {{L"Old", Target::Self}},
         {{L"Old", State::Untouched}, {L"New", State::Updated, L"Old"}},
         false, L"QuendaLongLauncher.exe"},
        {"an unreadable old shortcut is left alone and not copied",
         false, L"Old", L"New", nullptr, nullptr,
         {{L"Old", Target::Garbage}},
         {{L"Old", State::Untouched}, {L"New", State::Missing}}},
    };
    int row = 0;
    for (const ShortcutCase& c : cases) RunCase(c, row++);
}

// The launcher works on the all-users desktop only; a shortcut of the
// configured name on the user's own desktop is neither changed nor copied.
TEST(DesktopShortcut, TheUsersOwnDesktopIsNeverTouched) {
    const quenda::CoInitScope com;
    qt::ScratchDir user_desktop(L"integ-udesk");
    it::ScopedUserDesktop redirect(user_desktop.path());
    ASSERT_EQ(it::UserDesktop(), user_desktop.path());
    const std::wstring common = it::CommonDesktop();
    const std::wstring prefix = it::UniqueName(L"QIntegUd") + L"-";
    it::ScopedFiles cleanup(common, prefix);
    const std::wstring client = it::UniqueName(L"qud") + L".exe";

    qt::Installation inst(L"integ-ud");
    it::ScopedKill kill(client);
    inst.InstallClient(client);
    inst.WriteConfig(qt::Installation::MakeConfig(
        qt::ToUtf8(client), "", "", {"--no-pipe"},
        ConfigElement("shortcut_cn", prefix, L"Old") + ConfigElement("shortcut_new_cn", prefix, L"New")));
    it::LinkInfo info;
    info.target = L"C:\\Quenda gone\\Quenda.exe";
    info.arguments = L"-x";
    const std::wstring user_old = user_desktop / (prefix + L"Old.lnk");
    ASSERT_TRUE(it::CreateLink(user_old, info));
    const std::string before = qt::ReadFileBytes(user_old);

    const qt::RunResult run = inst.RunLauncher(L"");
    ASSERT_FALSE(run.timed_out);
    EXPECT_TRUE(inst.WaitForClientStarts(client, 1));

    EXPECT_EQ(qt::ReadFileBytes(user_old), before);
    EXPECT_FALSE(qt::FileExists(user_desktop / (prefix + L"New.lnk")));
    EXPECT_FALSE(qt::FileExists(common + L"\\" + prefix + L"New.lnk"));
}

}  // namespace
