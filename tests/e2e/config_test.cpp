// ProductConfig.xml as the built launcher reads it: where it is found, how
// its elements are matched, what a load failure shows, and the language the
// registry selects.
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kErrorCaption[] = L"\x9519\x8BEF";                                   // 错误
const wchar_t kErrorText[] = L"\x542F\x52A8\x5668\x52A0\x8F7D\x914D\x7F6E\x6587\x4EF6\x5931\x8D25";  // 启动器加载配置文件失败

// Runs the launcher and answers the configuration error box with OK when it
// appears; reports whether it appeared and with which text.
struct BoxRun {
    qt::RunResult run;
    bool box_shown = false;
    std::wstring box_text;
};

BoxRun RunExpectingBox(const std::wstring& launcher, const std::wstring& tail) {
    BoxRun result;
    result.run = qt::RunProcess(launcher, tail, L"", 30000, [&](HANDLE process, DWORD pid) {
        HWND box = nullptr;
        for (int i = 0; i < 200 && !box; ++i) {
            box = qt::WaitForDialog(kErrorCaption, pid, 50);
            if (!box && ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return;
        }
        if (!box) return;
        result.box_shown = true;
        result.box_text = qt::DialogText(box);
        qt::AnswerDialog(box, IDOK);
    });
    return result;
}

struct ElementCase {
    const char* body;           // children of the root
    const wchar_t* tail;
    const wchar_t* client_receives;
};

TEST(Config, ElementsAreMatchedAsDocumented) {
    const ElementCase cases[] = {
        // Element names of the record ignore ASCII case.
        {"<PROGNAME>cfgclient.exe</PROGNAME><protocol>cfga</protocol>", L"cfga://1", L"1"},
        // A later element replaces an earlier one; an empty one never clears it.
        {"<ProgName>cfgclient.exe</ProgName><Protocol>zzz</Protocol><Protocol>cfgb</Protocol><Protocol></Protocol>",
         L"cfgb://2", L"2"},
        // Items keep document order; only "Item"/"Name" spelled so count; a second Args is never read;
        // entities are decoded and surrounding spaces kept.
        {"<ProgName>cfgclient.exe</ProgName><Protocol>cfgc</Protocol>"
         "<Args><Item Name=\"-b\"/><Item name=\"-lower\"/><item Name=\"-small\"/><Item Name=\"\"/>"
         "<Item Name=\"x&amp;y\"/><Item Name=\"-a\"/></Args><Args><Item Name=\"-second\"/></Args>",
         L"cfgc://3", L"3 -b x&y -a"},
        {"<ProgName>cfgclient.exe</ProgName><Protocol>cfgd</Protocol><Args><Item Name=\" sp \"/></Args>",
         L"cfgd://4", L"4  sp "},
        // CDATA counts as text; an element whose first child is no text gives nothing.
        {"<ProgName><![CDATA[cfgclient.exe]]></ProgName><Protocol><b/>cfgx</Protocol><Protocol>cfge</Protocol>",
         L"cfge://5", L"5"},
    };
    for (const ElementCase& c : cases) {
        SCOPED_TRACE(c.body);
        qt::Installation inst(L"cfg");
        inst.InstallClient(L"cfgclient.exe");
        // A byte-order mark, a declaration and a comment before a root of any name.
        inst.WriteConfig(std::string("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- product -->\n<Anything>") + c.body +
                         "</Anything>\n");
        const qt::RunResult run = inst.RunLauncher(c.tail);
        EXPECT_EQ(run.exit_code, 0u);
        ASSERT_TRUE(inst.WaitForClientStarts(L"cfgclient.exe", 1));
        qt::KillAll(L"cfgclient.exe");
        EXPECT_EQ(inst.ClientStarts(L"cfgclient.exe").at(0), c.client_receives);
    }
}

TEST(Config, FoundInTheParentFolderWhenMissingBesideTheLauncher) {
    qt::Installation inst(L"parent");
    inst.WriteConfig(qt::Installation::MakeConfig("upclient.exe", "cfgup", "QuendaUpPipe"));
    const std::wstring bin = inst.path(L"bin");
    ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
    ASSERT_TRUE(::MoveFileW(inst.launcher().c_str(), (bin + L"\\Quenda.exe").c_str()));
    ::CopyFileW(qt::DemoClientExe().c_str(), (bin + L"\\upclient.exe").c_str(), FALSE);

    const BoxRun r = RunExpectingBox(bin + L"\\Quenda.exe", L"cfgup://p");
    EXPECT_FALSE(r.box_shown);
    EXPECT_EQ(r.run.exit_code, 0u);
    EXPECT_TRUE(inst.WaitForClientStarts(L"bin\\upclient.exe", 1));
    qt::KillAll(L"upclient.exe");
}

TEST(Config, LoadFailureShowsTheBoxAndStartsNothing) {
    struct FailCase {
        const char* beside;   // nullptr: no file beside the launcher
        bool parent_config;
    };
    // A malformed file beside the launcher is not passed over for the parent's.
    const FailCase cases[] = {{"<Product><ProgName>failclient.exe</ProgName>", true},
                              {nullptr, false},
                              {"", false}};
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.beside ? c.beside : "(none)");
        qt::ScratchDir top(L"fail");
        const std::wstring bin = top / L"bin";
        ASSERT_TRUE(::CreateDirectoryW(bin.c_str(), nullptr));
        ::CopyFileW(qt::LauncherExe().c_str(), (bin + L"\\Quenda.exe").c_str(), FALSE);
        ::CopyFileW(qt::DemoClientExe().c_str(), (bin + L"\\failclient.exe").c_str(), FALSE);
        if (c.beside) qt::WriteFileBytes(bin + L"\\ProductConfig.xml", c.beside);
        if (c.parent_config) {
            qt::WriteFileBytes(top / L"ProductConfig.xml",
                               qt::Installation::MakeConfig("failclient.exe", "cfgf", "QuendaFailPipe"));
        }
        const BoxRun r = RunExpectingBox(bin + L"\\Quenda.exe", L"cfgf://q");
        EXPECT_TRUE(r.box_shown);
        EXPECT_EQ(r.box_text, kErrorText);
        EXPECT_EQ(r.run.exit_code, 0u);
        // The run goes on with empty settings: it logs, but starts no program.
        EXPECT_NE(r.run.stderr_text.find("] class path: \n"), std::string::npos) << r.run.stderr_text;
        ::Sleep(300);
        EXPECT_FALSE(qt::FileExists(bin + L"\\failclient.exe.starts"));
    }
}

TEST(Config, FoundBesideALauncherWhosePathLeavesTheAnsiCodePage) {
    qt::ScratchDir top(L"\x4E2D\x6587-\x0416");  // 中文-Ж: no single ANSI code page holds them all
    ::CopyFileW(qt::LauncherExe().c_str(), (top / L"Quenda.exe").c_str(), FALSE);
    ::CopyFileW(qt::DemoClientExe().c_str(), (top / L"uniclient.exe").c_str(), FALSE);
    qt::WriteFileBytes(top / L"ProductConfig.xml", qt::Installation::MakeConfig("uniclient.exe", "cfgu", "QuendaUniPipe"));
    const BoxRun r = RunExpectingBox(top / L"Quenda.exe", L"cfgu://u");
    EXPECT_FALSE(r.box_shown);
    EXPECT_EQ(r.run.exit_code, 0u);
    ::Sleep(200);
    const std::string starts = qt::ReadFileBytes(top / L"uniclient.exe.starts");
    qt::KillAll(L"uniclient.exe");
    EXPECT_EQ(starts, std::string("\x01\0\0\0u", 5));
}

}  // namespace

#include "launcher/tests/instance_test_support.h"

namespace {

// The language value under HKCU\SOFTWARE\<ProgName less ".exe">\Language
// picks the prompt's language; anything unreadable or unknown leaves Chinese.
TEST(Config, LanguageFromTheRegistry) {
    struct LangCase {
        const char* label;
        bool key_exists;
        DWORD type;
        std::string data;
        const wchar_t* caption;
    };
    const LangCase cases[] = {
        {"no key", false, REG_SZ, "", L"\x63D0\x793A"},
        {"EN-us", true, REG_SZ, std::string("EN-us", 6), L"Prompt"},
        {"both", true, REG_SZ, std::string("en-US;zh-CN", 12), L"\x63D0\x793A"},
        {"en-GB", true, REG_SZ, std::string("en-GB", 6), L"\x63D0\x793A"},
        {"binary en-US", true, REG_BINARY, "xen-USx", L"Prompt"},
        {"longer than 260 bytes", true, REG_SZ, std::string(300, ' ') + "en-US" + std::string(1, '\0'),
         L"\x63D0\x793A"},
    };
    for (const LangCase& c : cases) {
        SCOPED_TRACE(c.label);
        qt::Installation inst(L"lang");
        inst.InstallClient(L"langclient.exe");
        inst.WriteConfig(qt::Installation::MakeConfig("langclient.exe", "cfgl", "QuendaLangPipe"));
        const std::wstring base = L"SOFTWARE\\langclient";
        if (c.key_exists) {
            quenda::unique_hkey key;
            ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\Language").c_str(), 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, key.put(), nullptr),
                      ERROR_SUCCESS);
            ::RegSetValueExA(key.get(), "", 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                             static_cast<DWORD>(c.data.size()));
        }
        it::RunningCopy running = it::StartCopy(inst.path(L"langclient.exe"), L"--no-pipe");
        ASSERT_TRUE(inst.WaitForClientStarts(L"langclient.exe", 1));
        const it::PromptedRun r = it::RunAnswering(inst.launcher(), L"", it::Answer::Cancel);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
        qt::KillAll(L"langclient.exe");
        EXPECT_EQ(r.prompts, 1);
        EXPECT_EQ(r.caption, c.caption);
        EXPECT_EQ(r.run.exit_code, 0u);
    }
}

}  // namespace
