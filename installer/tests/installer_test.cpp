// The demo setup as a user meets it: QuendaDemoSetup.exe /S installs the
// product, the shell's own URL dispatch (ShellExecuteW on demo://...) goes
// through the protocol the setup declared to the installed launcher and the
// client, and the uninstaller named in Add/Remove Programs takes all of it
// away again. Everything is read back through Win32.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "integration/tests/integ_support.h"
#include "tests/support/harness.h"

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuendaDemo";
const wchar_t kLanguageKey[] = L"SOFTWARE\\DemoClient\\Language";
const wchar_t kClientKey[] = L"SOFTWARE\\DemoClient";
const wchar_t kClient[] = L"DemoClient.exe";
// Old and new names of the desktop shortcut, English and Chinese, as in
// installer/ProductConfig.xml.
const wchar_t kOldEn[] = L"Quenda Demo.lnk";
const wchar_t kNewEn[] = L"Quenda Demo Client.lnk";
const wchar_t kOldCn[] = L"\x6F14\x793A.lnk";
const wchar_t kNewCn[] = L"\x6F14\x793A\x5BA2\x6237\x7AEF.lnk";
const wchar_t* const kShortcuts[] = {kOldEn, kNewEn, kOldCn, kNewCn};

std::wstring SetupExe() { return qt::BuiltFile(L"QUENDA_SETUP_EXE"); }

std::wstring InstallDir() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\Quenda Demo";
}

std::wstring Shortcut(const std::wstring& name) { return it::CommonDesktop() + L"\\" + name; }

void DeleteKeyTree(HKEY root, const wchar_t* key) {
    ::RegDeleteTreeW(root, key);
    ::RegDeleteKeyW(root, key);
}

// Whatever an earlier run (a failed test, the demo script) left in the
// prefix: the client and any launcher still asking its question, the
// installation and everything it declared.
void CleanSlate() {
    qt::KillAll(kClient);
    qt::KillAll(L"Quenda.exe");
    qt::RemoveTree(InstallDir());
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"demo");
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteKeyTree(HKEY_CURRENT_USER, kClientKey);
    for (const wchar_t* name : kShortcuts) ::DeleteFileW(Shortcut(name).c_str());
}

bool KeyExists(HKEY root, const std::wstring& key) {
    quenda::unique_hkey handle;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// Runs a command line as Add/Remove Programs does and waits for all of its
// work: an NSIS uninstaller copies itself to the temp folder, starts the copy
// (which does the removing) and returns at once, so the processes it started
// are waited for as well. Holding the first process's handle keeps its id
// from being reused while its children are looked up.
DWORD RunAndWaitForChildren(const std::wstring& command_line, DWORD timeout_ms) {
    std::wstring line = command_line;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
    quenda::unique_handle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.get(), &code);

    std::vector<quenda::unique_handle> children;
    {
        quenda::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL ok = snapshot && ::Process32FirstW(snapshot.get(), &entry); ok;
             ok = ::Process32NextW(snapshot.get(), &entry)) {
            if (entry.th32ParentProcessID != pi.dwProcessId) continue;
            quenda::unique_handle child(::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
            if (child) children.push_back(std::move(child));
        }
    }
    for (const quenda::unique_handle& child : children) {
        if (::WaitForSingleObject(child.get(), timeout_ms) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    }
    return code;
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(qt::FileExists(SetupExe())) << "QUENDA_SETUP_EXE: " << qt::ToUtf8(SetupExe());
        CleanSlate();
    }
    void TearDown() override { CleanSlate(); }

    void Install() {
        const qt::RunResult run = qt::RunProcess(SetupExe(), L"/S", L"", 60000);
        ASSERT_FALSE(run.timed_out);
        ASSERT_EQ(run.exit_code, 0u);
    }

    // Through the command the setup left for Add/Remove Programs.
    void Uninstall() {
        const it::RegValue quiet = it::ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString");
        ASSERT_EQ(quiet.status, ERROR_SUCCESS);
        EXPECT_EQ(RunAndWaitForChildren(quiet.Text(), 60000), 0u);
    }

    void ExpectNothingLeft() {
        EXPECT_FALSE(qt::FileExists(dir_));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"demo"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        for (const wchar_t* name : kShortcuts) EXPECT_FALSE(qt::FileExists(Shortcut(name))) << qt::ToUtf8(name);
    }

    const std::wstring dir_ = InstallDir();
    const std::wstring launcher_ = dir_ + L"\\Quenda.exe";
    const std::wstring client_ = dir_ + L"\\DemoClient.exe";
    quenda::CoInitScope com_;
};

TEST_F(SetupTest, InstallsServesUrlsThroughTheShellAndUninstallsWithoutTrace) {
    ASSERT_NO_FATAL_FAILURE(Install());

    // The built programs themselves, under the names the configuration uses.
    EXPECT_EQ(qt::ReadFileBytes(launcher_), qt::ReadFileBytes(qt::LauncherExe()));
    EXPECT_EQ(qt::ReadFileBytes(client_), qt::ReadFileBytes(qt::DemoClientExe()));
    EXPECT_FALSE(qt::ReadFileBytes(dir_ + L"\\DemoClient.ico").empty());
    EXPECT_NE(qt::ReadFileBytes(dir_ + L"\\ProductConfig.xml").find("<Protocol>demo</Protocol>"), std::string::npos);

    const std::wstring command = L"\"" + launcher_ + L"\" \"%1\"";
    struct Expected {
        HKEY root;
        std::wstring key;
        const wchar_t* name;
        std::wstring text;
    };
    const Expected values[] = {
        {HKEY_CLASSES_ROOT, L"demo", nullptr, L"URL:demo"},
        {HKEY_CLASSES_ROOT, L"demo", L"URL Protocol", L""},
        {HKEY_CLASSES_ROOT, L"demo\\shell\\open\\command", nullptr, command},
        {HKEY_CURRENT_USER, kLanguageKey, nullptr, L"en-US"},  // there was none
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", L"Quenda Demo"},
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher", L"Quenda"},
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon", dir_ + L"\\DemoClient.ico"},
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", dir_},
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", L"\"" + dir_ + L"\\Uninstall.exe\""},
        {HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString", L"\"" + dir_ + L"\\Uninstall.exe\" /S"},
    };
    for (const Expected& e : values) {
        SCOPED_TRACE(qt::ToUtf8(e.key) + " : " + (e.name ? qt::ToUtf8(e.name) : "(default)"));
        const it::RegValue value = it::ReadRegValue(e.root, e.key, e.name);
        ASSERT_EQ(value.status, ERROR_SUCCESS);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value.Text(), e.text);
        // Text and terminator, nothing behind: the launcher writes the same.
        EXPECT_EQ(value.data.size(), (e.text.size() + 1) * sizeof(wchar_t));
    }
    EXPECT_FALSE(it::ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion").Text().empty());

    const it::LinkInfo old_link = it::ReadLink(Shortcut(kOldEn));
    ASSERT_TRUE(old_link.loaded);
    EXPECT_EQ(old_link.target, launcher_);

    // A page hands the shell a URL: the launcher the setup registered starts
    // the client, and on the way renames and re-targets the shortcut.
    const auto opened = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", L"demo://course=7", nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(opened, 32) << "the shell found no command for demo://";
    ASSERT_TRUE(qt::WaitUntil([&] { return !qt::ClientStartsAt(client_).empty(); }, 20000));
    EXPECT_EQ(qt::ClientStartsAt(client_), std::vector<std::wstring>{L"course=7\" -from-launcher"});
    ASSERT_TRUE(qt::WaitUntil([] { return qt::ProcessIds(L"Quenda.exe").empty(); }, 20000));
    const std::vector<DWORD> client_ids = qt::ProcessIds(kClient);
    ASSERT_EQ(client_ids.size(), 1u);

    EXPECT_FALSE(qt::FileExists(Shortcut(kOldEn)));
    const it::LinkInfo new_link = it::ReadLink(Shortcut(kNewEn));
    ASSERT_TRUE(new_link.loaded);
    EXPECT_EQ(new_link.target, launcher_);

    // A second URL while the client runs: the user keeps it (Cancel), and the
    // parameters reach it through its pipe, as ANSI text with a zero behind.
    const auto again = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", L"demo://lesson=9", nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(again, 32);
    const HWND prompt = qt::WaitForDialog(L"Prompt", 0, 20000);
    ASSERT_NE(prompt, nullptr) << "no restart prompt in English";
    EXPECT_EQ(qt::DialogText(prompt), L"Another program is already in progress, start new one?");
    qt::AnswerDialog(prompt, IDCANCEL);
    ASSERT_TRUE(qt::WaitUntil([&] { return !qt::ClientMessagesAt(client_).empty(); }, 20000));
    EXPECT_EQ(qt::ClientMessagesAt(client_), std::vector<std::string>{std::string("lesson=9\"\0", 10)});
    EXPECT_TRUE(qt::WaitUntil([] { return qt::ProcessIds(L"Quenda.exe").empty(); }, 20000));
    EXPECT_EQ(qt::ProcessIds(kClient), client_ids) << "the client was to be kept, not restarted";
    EXPECT_EQ(qt::ClientStartsAt(client_).size(), 1u);

    qt::KillAll(kClient);
    ASSERT_NO_FATAL_FAILURE(Uninstall());
    ExpectNothingLeft();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kLanguageKey)) << "the setup made it, the uninstaller takes it";
}

// A user who already chose Chinese keeps that choice through install and
// uninstall, and gets the shortcut under the Chinese name the launcher
// will look for.
TEST_F(SetupTest, KeepsTheUsersLanguageAndNamesTheShortcutInIt) {
    ASSERT_TRUE(it::WriteRegString(HKEY_CURRENT_USER, kLanguageKey, nullptr, L"zh-CN"));
    ASSERT_NO_FATAL_FAILURE(Install());

    EXPECT_EQ(it::ReadRegValue(HKEY_CURRENT_USER, kLanguageKey, nullptr).Text(), L"zh-CN");
    const it::LinkInfo link = it::ReadLink(Shortcut(kOldCn));
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, launcher_);
    EXPECT_FALSE(qt::FileExists(Shortcut(kOldEn)));

    ASSERT_NO_FATAL_FAILURE(Uninstall());
    ExpectNothingLeft();
    EXPECT_EQ(it::ReadRegValue(HKEY_CURRENT_USER, kLanguageKey, nullptr).Text(), L"zh-CN");
}

}  // namespace
