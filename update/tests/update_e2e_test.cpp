// The update steps as the built launcher runs them on its start path: the
// staging folder "temp", the move of a staged archive into the launcher
// folder, and its extraction. Results are read back through Win32.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win_handle.h"
#include "tests/support/harness.h"
#include "update/tests/zip_writer.h"

namespace {

// An installation with its own client, started (and ended) by each run.
class UpdateInstallation {
public:
    UpdateInstallation(const std::wstring& hint, const std::wstring& client) : inst_(hint), client_(client) {
        inst_.InstallClient(client_);
        const std::string name = qt::ToUtf8(client_);
        inst_.WriteConfig(qt::Installation::MakeConfig(name, "upd" + name.substr(0, name.size() - 4),
                                                       "UpdPipe" + name));
    }
    ~UpdateInstallation() { qt::KillAll(client_); }

    // One launcher run; the client it starts is ended again at once.
    void Run() {
        const size_t before = inst_.ClientStarts(client_).size();
        const qt::RunResult run = inst_.RunLauncher(L"");
        EXPECT_EQ(run.exit_code, 0u) << run.stderr_text;
        EXPECT_TRUE(inst_.WaitForClientStarts(client_, before + 1)) << run.stderr_text;
        qt::KillAll(client_);
    }

    std::wstring Path(const std::wstring& relative) const { return inst_.path(relative); }
    bool Exists(const std::wstring& relative) const { return qt::FileExists(Path(relative)); }
    std::string Read(const std::wstring& relative) const { return qt::ReadFileBytes(Path(relative)); }
    void Write(const std::wstring& relative, const std::string& bytes) const {
        ASSERT_TRUE(qt::WriteFileBytes(Path(relative), bytes));
    }
    void MakeTemp() const { ::CreateDirectoryW(Path(L"temp").c_str(), nullptr); }
    const std::wstring& dir() const { return inst_.dir(); }

private:
    qt::Installation inst_;
    std::wstring client_;
};

std::string Archive(const std::string& name, const std::string& content) {
    return zipw::Build({zipw::File(name, content)});
}

quenda::unique_hfile HoldOpen(const std::wstring& path) {
    return quenda::unique_hfile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(UpdateStaging, NoStagingFolderChangesNothing) {
    UpdateInstallation inst(L"upd-none", L"updc1.exe");
    inst.Run();
    EXPECT_FALSE(inst.Exists(L"temp"));
    EXPECT_FALSE(inst.Exists(L"update.zip"));
}

TEST(UpdateStaging, StagedArchiveIsMovedAndInstalled) {
    UpdateInstallation inst(L"upd-staged", L"updc2.exe");
    inst.MakeTemp();
    inst.Write(L"temp\\update.zip", zipw::Build({zipw::File("bin/new.txt", "staged content"),
                                                 zipw::File("../updc2-outside.txt", "never")}));
    inst.Run();
    EXPECT_EQ(inst.Read(L"bin\\new.txt"), "staged content");
    EXPECT_FALSE(inst.Exists(L"temp\\update.zip"));
    EXPECT_FALSE(inst.Exists(L"update.zip"));
    EXPECT_TRUE(inst.Exists(L"temp"));
    EXPECT_FALSE(qt::FileExists(inst.dir().substr(0, inst.dir().rfind(L'\\')) + L"\\updc2-outside.txt"));
}

TEST(UpdateStaging, StagedArchiveReplacesAnOlderOne) {
    UpdateInstallation inst(L"upd-replace", L"updc3.exe");
    inst.MakeTemp();
    inst.Write(L"update.zip", Archive("from_old.txt", "old"));
    inst.Write(L"temp\\update.zip", Archive("from_new.txt", "new"));
    inst.Run();
    EXPECT_EQ(inst.Read(L"from_new.txt"), "new");
    EXPECT_FALSE(inst.Exists(L"from_old.txt"));
    EXPECT_FALSE(inst.Exists(L"update.zip"));
    EXPECT_FALSE(inst.Exists(L"temp\\update.zip"));
}

TEST(UpdateStaging, LeftoversAreDeletedButAFileInUseStays) {
    UpdateInstallation inst(L"upd-leftovers", L"updc4.exe");
    inst.MakeTemp();
    const wchar_t* const kLeftovers[] = {L"temp\\update.td0", L"temp\\update.td1", L"temp\\update.td2",
                                         L"temp\\update.td3", L"temp\\update.td"};
    for (const wchar_t* name : kLeftovers) inst.Write(name, "td");
    inst.Write(L"temp\\Updater.exe", "updater");
    inst.Write(L"temp\\other.txt", "not ours");
    inst.Write(L"temp\\update.zip", Archive("moved.txt", "moved"));
    {
        quenda::unique_hfile held = HoldOpen(inst.Path(L"temp\\Updater.exe"));
        ASSERT_TRUE(held);
        inst.Run();
    }
    EXPECT_TRUE(inst.Exists(L"temp\\Updater.exe"));
    for (const wchar_t* name : kLeftovers) EXPECT_FALSE(inst.Exists(name)) << qt::ToUtf8(name);
    EXPECT_TRUE(inst.Exists(L"temp\\other.txt"));
    EXPECT_EQ(inst.Read(L"moved.txt"), "moved");
    EXPECT_FALSE(inst.Exists(L"temp\\update.zip"));
}

TEST(UpdateStaging, OnlyALeftoverIsDeleted) {
    UpdateInstallation inst(L"upd-td2", L"updc5.exe");
    inst.MakeTemp();
    inst.Write(L"temp\\update.td2", "td");
    inst.Run();
    EXPECT_FALSE(inst.Exists(L"temp\\update.td2"));
    EXPECT_TRUE(inst.Exists(L"temp"));
    EXPECT_FALSE(inst.Exists(L"update.zip"));
}

TEST(UpdateStaging, StagedArchiveStaysWhenItCannotBeMoved) {
    UpdateInstallation inst(L"upd-blocked", L"updc6.exe");
    inst.MakeTemp();
    inst.Write(L"update.zip", Archive("which.txt", "older"));
    inst.Write(L"temp\\update.zip", Archive("which.txt", "staged"));
    {
        // The launcher folder's archive cannot be overwritten (or deleted),
        // only read: the older update is installed, the staged one waits.
        quenda::unique_hfile held = HoldOpen(inst.Path(L"update.zip"));
        ASSERT_TRUE(held);
        inst.Run();
        EXPECT_TRUE(inst.Exists(L"temp\\update.zip"));
        EXPECT_EQ(inst.Read(L"which.txt"), "older");
    }
    inst.Run();
    EXPECT_EQ(inst.Read(L"which.txt"), "staged");
    EXPECT_FALSE(inst.Exists(L"temp\\update.zip"));
    EXPECT_FALSE(inst.Exists(L"update.zip"));
}

TEST(UpdateInstall, FileInUseKeepsTheArchiveUntilTheNextStart) {
    UpdateInstallation inst(L"upd-inuse", L"updc7.exe");
    inst.Write(L"engine.dll", "old engine");
    inst.MakeTemp();
    inst.Write(L"temp\\update.zip", zipw::Build({zipw::File("engine.dll", "new engine"), zipw::File("data.txt", "data")}));
    {
        quenda::unique_hfile held = HoldOpen(inst.Path(L"engine.dll"));
        ASSERT_TRUE(held);
        inst.Run();
        EXPECT_EQ(inst.Read(L"engine.dll"), "old engine");
        EXPECT_EQ(inst.Read(L"data.txt"), "data");
        EXPECT_TRUE(inst.Exists(L"update.zip"));
    }
    inst.Run();
    EXPECT_EQ(inst.Read(L"engine.dll"), "new engine");
    EXPECT_FALSE(inst.Exists(L"update.zip"));
}

TEST(UpdateStaging, LauncherPathOutsideTheAnsiCodePageTouchesNoOtherFolder) {
    // "\u0100" has no place in the usual ANSI code pages; a best-fit
    // conversion turns it into "A", which names the sibling folder made here.
    UpdateInstallation inst(L"upd-\u0100nsi", L"updc8.exe");
    std::wstring sibling = inst.dir();
    sibling[sibling.find(L'\u0100')] = L'A';
    ASSERT_TRUE(::CreateDirectoryW(sibling.c_str(), nullptr));
    ::CreateDirectoryW((sibling + L"\\temp").c_str(), nullptr);
    const std::string archive = Archive("sibling.txt", "sibling");
    ASSERT_TRUE(qt::WriteFileBytes(sibling + L"\\temp\\update.td", "td"));
    ASSERT_TRUE(qt::WriteFileBytes(sibling + L"\\temp\\update.zip", archive));
    inst.MakeTemp();
    inst.Write(L"temp\\update.td", "td");
    inst.Write(L"temp\\update.zip", archive);
    inst.Run();
    EXPECT_TRUE(qt::FileExists(sibling + L"\\temp\\update.td"));
    EXPECT_EQ(qt::ReadFileBytes(sibling + L"\\temp\\update.zip"), archive);
    EXPECT_FALSE(qt::FileExists(sibling + L"\\update.zip"));
    // The narrow path names no folder of this installation either: the staged
    // files stay where they are.
    EXPECT_TRUE(inst.Exists(L"temp\\update.td"));
    EXPECT_TRUE(inst.Exists(L"temp\\update.zip"));
    EXPECT_FALSE(inst.Exists(L"sibling.txt"));
    qt::RemoveTree(sibling);
}

}  // namespace
