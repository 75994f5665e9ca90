// The extraction functions over archives built here, run in a scratch folder
// that is made the working directory, as the launch sequence does.
#include "update/archive_extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/win_handle.h"
#include "tests/support/harness.h"
#include "update/tests/zip_writer.h"

namespace {

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    quenda::unique_hfind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

struct Times {
    FILETIME creation{}, access{}, modification{};
};

Times FileTimes(const std::wstring& path) {
    Times t;
    quenda::unique_hfile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) ::GetFileTime(file.get(), &t.creation, &t.access, &t.modification);
    return t;
}

ULONGLONG Value(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// 2025-01-01 12:00:00 as local time, in UTC.
ULONGLONG DosNoonUtc() {
    SYSTEMTIME st = {};
    st.wYear = 2025;
    st.wMonth = 1;
    st.wDay = 1;
    st.wHour = 12;
    FILETIME local, utc;
    ::SystemTimeToFileTime(&st, &local);
    ::LocalFileTimeToFileTime(&local, &utc);
    return Value(utc);
}

ULONGLONG UnixToFileTime(long long seconds) { return static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL; }

ULONGLONG Now() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return Value(now);
}

class Extract : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = scratch_ / L"root";
        ::CreateDirectoryW(root_.c_str(), nullptr);
        ::GetCurrentDirectoryW(MAX_PATH, saved_cwd_);
        ASSERT_TRUE(::SetCurrentDirectoryW(root_.c_str()));
    }
    void TearDown() override { ::SetCurrentDirectoryW(saved_cwd_); }

    void Stage(const std::vector<zipw::Entry>& entries) { StageBytes(zipw::Build(entries)); }
    void StageBytes(const std::string& bytes) { ASSERT_TRUE(qt::WriteFileBytes(Path(L"update.zip"), bytes)); }
    std::wstring Path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    std::string Read(const std::wstring& relative) const { return qt::ReadFileBytes(Path(relative)); }
    bool Exists(const std::wstring& relative) const { return qt::FileExists(Path(relative)); }
    DWORD Attributes(const std::wstring& relative) const { return ::GetFileAttributesW(Path(relative).c_str()); }

    // Every entry's answer through the functions the driver uses.
    std::vector<ExtractResult> ExtractEach() {
        std::vector<ExtractResult> results;
        ExtractResult opened;
        UpdateArchiveHandle archive = OpenUpdateArchive(opened);
        EXPECT_EQ(opened, ExtractResult::Ok);
        if (!archive) return results;
        ArchiveEntryInfo info;
        EXPECT_EQ(GetArchiveEntry(*archive, -1, info), ExtractResult::Ok);
        for (std::int32_t i = 0; i < info.index; ++i) {
            ArchiveEntryInfo entry;
            GetArchiveEntry(*archive, i, entry);
            results.push_back(ExtractArchiveEntry(*archive, i, entry.name));
        }
        EXPECT_EQ(CloseUpdateArchive(archive), ExtractResult::Ok);
        return results;
    }

    qt::ScratchDir scratch_{L"upd"};
    std::wstring root_;
    wchar_t saved_cwd_[MAX_PATH] = {};
};

TEST_F(Extract, CreatesFoldersWithOrWithoutFolderEntries) {
    Stage({zipw::Folder("dir/"), zipw::File("dir/f.txt", "in dir"), zipw::File("a/b/c.txt", "deep"),
           zipw::Folder("empty/")});
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"dir\\f.txt"), "in dir");
    EXPECT_EQ(Read(L"a\\b\\c.txt"), "deep");
    EXPECT_NE(Attributes(L"a\\b") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(Attributes(L"empty") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(Exists(L"update.zip"));
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"a", L"dir", L"empty"}));
    EXPECT_EQ(ListFolder(Path(L"dir")), std::vector<std::wstring>{L"f.txt"});
}

TEST_F(Extract, InflatesDeflatedEntries) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\n";
    zipw::Entry big = zipw::File("big.txt", text);
    big.deflate = true;
    zipw::Entry empty = zipw::File("empty.txt", "");
    empty.deflate = true;
    Stage({big, empty});
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"big.txt"), text);
    EXPECT_TRUE(Exists(L"empty.txt"));
    EXPECT_EQ(Read(L"empty.txt"), "");
}

TEST_F(Extract, AttributesFromDosAndUnixHosts) {
    zipw::Entry dos_ro = zipw::File("dos_ro.txt", "1");
    dos_ro.external_attributes = 0x21;
    zipw::Entry unix_rw = zipw::File("unix_rw.txt", "2");
    unix_rw.version_made_by = zipw::kUnixHost;
    unix_rw.external_attributes = 0100644u << 16;
    zipw::Entry unix_ro = zipw::File("unix_ro.txt", "3");
    unix_ro.version_made_by = zipw::kUnixHost;
    unix_ro.external_attributes = 0100444u << 16;
    zipw::Entry unix_dir = zipw::File("unix_dir/", "");
    unix_dir.version_made_by = zipw::kUnixHost;
    unix_dir.external_attributes = 040755u << 16;
    Stage({dos_ro, unix_rw, unix_ro, unix_dir});
    ExtractUpdateArchive();
    const DWORD kShown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(Attributes(L"dos_ro.txt") & kShown, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Attributes(L"unix_rw.txt") & kShown, 0u);
    EXPECT_EQ(Attributes(L"unix_ro.txt") & kShown, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Attributes(L"unix_dir") & kShown, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(Read(L"unix_ro.txt"), "3");
}

TEST_F(Extract, ReportsAttributesAndTimesOfEntries) {
    zipw::Entry plain = zipw::File("plain.txt", "x");
    plain.external_attributes = 0x21;
    zipw::Entry ut = zipw::File("ut.txt", "y");
    ut.local_extra = zipw::ExtraBlock(0x7875, std::string(300, 'z')) + zipw::UtBlock(1, {1700000000});
    Stage({plain, ut});
    ExtractResult opened;
    UpdateArchiveHandle archive = OpenUpdateArchive(opened);
    ASSERT_TRUE(archive);
    ArchiveEntryInfo info;
    ASSERT_EQ(GetArchiveEntry(*archive, 0, info), ExtractResult::Ok);
    EXPECT_EQ(info.attributes, 0x21u);
    EXPECT_EQ(Value(info.modification_time), DosNoonUtc());
    EXPECT_EQ(Value(info.access_time), DosNoonUtc());
    EXPECT_EQ(Value(info.creation_time), DosNoonUtc());
    EXPECT_EQ(info.uncompressed_size, 1u);
    ASSERT_EQ(GetArchiveEntry(*archive, 1, info), ExtractResult::Ok);
    EXPECT_EQ(Value(info.modification_time), UnixToFileTime(1700000000));
    EXPECT_EQ(Value(info.access_time), DosNoonUtc());
    EXPECT_EQ(Value(info.creation_time), DosNoonUtc());
}

TEST_F(Extract, SetsTimesFromDosFieldsOrTheUtBlock) {
    zipw::Entry dos = zipw::File("dos.txt", "1");
    zipw::Entry ut = zipw::File("ut.txt", "2");
    ut.local_extra = zipw::UtBlock(3, {1700000000, 1600000000});
    zipw::Entry behind = zipw::File("behind.txt", "3");
    behind.local_extra = zipw::ExtraBlock(0x5855, std::string(300, '\x7f')) + zipw::UtBlock(1, {1500000000});
    // Flags announce three times; the block holds one.
    zipw::Entry short_ut = zipw::File("short_ut.txt", "4");
    short_ut.local_extra = zipw::UtBlock(7, {1400000000});
    // No calendar date: the times are left as the system sets them.
    zipw::Entry bad_date = zipw::File("bad_date.txt", "5");
    bad_date.dos_date = 0x5A00;  // month 0, day 0
    Stage({dos, ut, behind, short_ut, bad_date});
    const ULONGLONG before = Now();
    ExtractUpdateArchive();

    Times t = FileTimes(Path(L"dos.txt"));
    EXPECT_EQ(Value(t.modification), DosNoonUtc());
    EXPECT_EQ(Value(t.access), DosNoonUtc());
    t = FileTimes(Path(L"ut.txt"));
    EXPECT_EQ(Value(t.modification), UnixToFileTime(1700000000));
    EXPECT_EQ(Value(t.access), UnixToFileTime(1600000000));
    t = FileTimes(Path(L"behind.txt"));
    EXPECT_EQ(Value(t.modification), UnixToFileTime(1500000000));
    EXPECT_EQ(Value(t.access), DosNoonUtc());
    t = FileTimes(Path(L"short_ut.txt"));
    EXPECT_EQ(Value(t.modification), UnixToFileTime(1400000000));
    EXPECT_EQ(Value(t.access), DosNoonUtc());
    t = FileTimes(Path(L"bad_date.txt"));
    EXPECT_EQ(Read(L"bad_date.txt"), "5");
    // Written just now (allow for coarse file system clocks).
    EXPECT_GE(Value(t.modification) + 20000000ULL, before);
}

TEST_F(Extract, SanitisesNamesAsDocumented) {
    Stage({zipw::File("C:\\dir\\f.txt", "1"), zipw::File("\\\\server\\share\\f", "2"),
           zipw::File("a/b/../c/d.txt", "3"), zipw::File("x/../y/../z", "4"), zipw::File("//lead.txt", "5")});
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"dir\\f.txt"), "1");
    EXPECT_EQ(Read(L"server\\share\\f"), "2");
    EXPECT_EQ(Read(L"c\\d.txt"), "3");
    EXPECT_FALSE(Exists(L"a"));
    EXPECT_EQ(Read(L"z"), "4");
    EXPECT_EQ(Read(L"lead.txt"), "5");
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"c", L"dir", L"lead.txt", L"server", L"z"}));
}

TEST_F(Extract, DecodesNamesAsUtf8WhateverTheFlagsSay) {
    zipw::Entry flagged = zipw::File("caf\xC3\xA9/\xE4\xB8\xAD.txt", "1");
    flagged.flags = 0x0800;  // "name is UTF-8"
    zipw::Entry unflagged = zipw::File("\xCE\xA9mega.txt", "2");
    Stage({flagged, unflagged});
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"caf\u00e9\\\u4e2d.txt"), "1");
    EXPECT_EQ(Read(L"\u03a9mega.txt"), "2");
}

TEST_F(Extract, HostileNamesCreateNothingOutsideTheRoot) {
    const char* const kNames[] = {
        "../evil1.txt",        "a/../../evil2.txt", "..",          "a/..",          "..\\evil3.txt",
        "C:../evil4.txt",      "/../evil5.txt",     "\\..\\evil6", "a\\..\\..\\evil7",
        "../../../../../../../../../evil8.txt",     "./evil9",     "...\\evil10",   "x/.../evil11",
        "CON",                 "nul.txt",           "dir/COM1.log", "AUX .txt",     "lpt1",
        "evil12.txt:stream",   "evil13.txt::$DATA", "evil14. ",    "evil15.",       "dir./evil16",
        "dir /evil17",         "a<b",               "a?b",         "a*b",           "a|b",
        "\\\\?\\C:\\evil18",   "\\\\.\\pipe\\evil19",              "\xE2\x80\xAE..\\evil20",
        "a//evil21",
    };
    std::vector<zipw::Entry> entries;
    for (const char* name : kNames) entries.push_back(zipw::File(name, "evil"));
    zipw::Entry folder = zipw::Folder("../evilfolder/");
    entries.push_back(folder);
    entries.push_back(zipw::Folder("a/../../evilfolder2/"));
    entries.push_back(zipw::File("good.txt", "good"));
    Stage(entries);

    const std::vector<ExtractResult> results = ExtractEach();
    ASSERT_EQ(results.size(), entries.size());
    for (std::size_t i = 0; i + 1 < results.size(); ++i) {
        EXPECT_EQ(results[i], ExtractResult::CannotOpen) << entries[i].name;
    }
    EXPECT_EQ(results.back(), ExtractResult::Ok);
    // Outside the root there is still only the root.
    EXPECT_EQ(ListFolder(scratch_.path()), std::vector<std::wstring>{L"root"});
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"good.txt", L"update.zip"}));
    EXPECT_EQ(Read(L"good.txt"), "good");
}

TEST_F(Extract, EmptyArchiveIsDeleted) {
    Stage({});
    ExtractUpdateArchive();
    EXPECT_TRUE(ListFolder(root_).empty());
}

TEST_F(Extract, NonArchiveIsDeletedAndNothingIsWritten) {
    StageBytes("this is not a zip archive at all, just text");
    ExtractResult result = ExtractResult::Ok;
    EXPECT_FALSE(OpenUpdateArchive(result));
    EXPECT_EQ(result, ExtractResult::CannotOpen);
    ExtractUpdateArchive();
    EXPECT_TRUE(ListFolder(root_).empty());
}

TEST_F(Extract, NothingHappensWithoutAnArchive) {
    ASSERT_TRUE(qt::WriteFileBytes(Path(L"keep.txt"), "keep"));
    ExtractUpdateArchive();
    EXPECT_EQ(ListFolder(root_), std::vector<std::wstring>{L"keep.txt"});
}

struct BadEntryCase {
    const char* what;
    zipw::Entry entry;
    ExtractResult expected;
};

TEST_F(Extract, BadEntriesLeaveTheOldFileAsItWas) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "data " + std::to_string(i) + "\n";
    std::vector<BadEntryCase> cases;
    {
        zipw::Entry e = zipw::File("enc.txt", text);
        e.flags = 1;
        cases.push_back({"encrypted", e, ExtractResult::WrongPassword});
    }
    {
        zipw::Entry e = zipw::File("short_stored.txt", text);
        e.cut_data = 100;
        cases.push_back({"stored data shorter than declared", e, ExtractResult::DataError});
    }
    {
        zipw::Entry e = zipw::File("cut_deflate.txt", text);
        e.deflate = true;
        e.cut_data = 200;
        cases.push_back({"deflate stream cut off", e, ExtractResult::DataError});
    }
    {
        zipw::Entry e = zipw::File("early_end.txt", text);
        e.deflate = true;
        e.uncompressed_size = static_cast<std::uint32_t>(text.size() + 10);
        cases.push_back({"deflate stream ends before the declared size", e, ExtractResult::DataError});
    }
    {
        zipw::Entry e = zipw::File("bad_crc.txt", text);
        e.deflate = true;
        e.crc = zipw::Crc32(text) ^ 1;
        cases.push_back({"wrong CRC-32", e, ExtractResult::DataError});
    }
    {
        zipw::Entry e = zipw::File("bzip.txt", text);
        e.method = 12;
        cases.push_back({"unsupported method", e, ExtractResult::DataError});
    }
    {
        zipw::Entry e = zipw::File("lzma.txt", text);
        e.method = 14;
        cases.push_back({"method the reader refuses", e, ExtractResult::Corrupt});
    }
    {
        zipw::Entry e = zipw::File("bad_local.txt", text);
        e.bad_local_signature = true;
        cases.push_back({"local header signature", e, ExtractResult::Corrupt});
    }
    std::vector<zipw::Entry> entries;
    for (const BadEntryCase& c : cases) {
        entries.push_back(c.entry);
        ASSERT_TRUE(qt::WriteFileBytes(Path(qt::FromUtf8(c.entry.name)), "old " + c.entry.name));
    }
    // The local extra field runs past the end of the file.
    zipw::Entry past_end = zipw::File("extra_past_end.txt", "x");
    past_end.local_extra_length = 0xFFFF;
    entries.push_back(past_end);
    ASSERT_TRUE(qt::WriteFileBytes(Path(L"extra_past_end.txt"), "old extra_past_end.txt"));
    Stage(entries);

    const std::vector<ExtractResult> results = ExtractEach();
    ASSERT_EQ(results.size(), entries.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(results[i], cases[i].expected) << cases[i].what;
    EXPECT_EQ(results.back(), ExtractResult::ReadFailed);
    for (const zipw::Entry& e : entries) EXPECT_EQ(Read(qt::FromUtf8(e.name)), "old " + e.name);

    // No partial or temporary file is left; the archive's own faults do not
    // keep it for another try.
    ExtractUpdateArchive();
    std::vector<std::wstring> expected;
    for (const zipw::Entry& e : entries) expected.push_back(qt::FromUtf8(e.name));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(root_), expected);
    for (const zipw::Entry& e : entries) EXPECT_EQ(Read(qt::FromUtf8(e.name)), "old " + e.name);
}

TEST_F(Extract, BadEntriesWithoutOldFilesLeaveNothing) {
    std::string text(100000, 'q');
    zipw::Entry cut = zipw::File("cut.txt", text);
    cut.deflate = true;
    cut.cut_data = 50;
    zipw::Entry crc = zipw::File("crc.txt", text);
    crc.crc = 0;
    zipw::Entry short_data = zipw::File("sub/short.txt", text);
    short_data.cut_data = 10;
    Stage({cut, crc, short_data});
    EXPECT_EQ(ExtractEach(), (std::vector<ExtractResult>{ExtractResult::DataError, ExtractResult::DataError,
                                                         ExtractResult::DataError}));
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"sub", L"update.zip"}));
    EXPECT_TRUE(ListFolder(Path(L"sub")).empty());
}

TEST_F(Extract, ConflictsThatNoRetryCanSolveDoNotKeepTheArchive) {
    // A file where the archive has a folder, a folder where it has a file.
    ASSERT_TRUE(qt::WriteFileBytes(Path(L"blocker"), "a file"));
    ASSERT_TRUE(::CreateDirectoryW(Path(L"was_folder").c_str(), nullptr));
    Stage({zipw::File("blocker/inside.txt", "1"), zipw::File("was_folder", "2"), zipw::File("fine.txt", "3")});
    EXPECT_EQ(ExtractEach(), (std::vector<ExtractResult>{ExtractResult::CannotOpen, ExtractResult::CannotOpen,
                                                         ExtractResult::Ok}));
    ExtractUpdateArchive();
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"blocker", L"fine.txt", L"was_folder"}));
    EXPECT_EQ(Read(L"blocker"), "a file");
    EXPECT_TRUE(ListFolder(Path(L"was_folder")).empty());
}

TEST_F(Extract, LongNamesAndPathsAreSkipped) {
    const std::string long_name(300, 'n');  // cut to 260 bytes by the reader
    const std::string too_deep = std::string(120, 'd') + "/" + std::string(130, 'f');  // root + this > 259
    Stage({zipw::File(long_name, "1"), zipw::File(too_deep, "2"), zipw::File("ok.txt", "3")});
    const std::vector<ExtractResult> results = ExtractEach();
    EXPECT_EQ(results, (std::vector<ExtractResult>{ExtractResult::CannotOpen, ExtractResult::CannotOpen,
                                                   ExtractResult::Ok}));
    EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"ok.txt", L"update.zip"}));
}

TEST_F(Extract, ReplacesReadOnlyFilesAndKeepsTheEntryAttributes) {
    ASSERT_TRUE(qt::WriteFileBytes(Path(L"ro.txt"), "old"));
    ::SetFileAttributesW(Path(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    zipw::Entry e = zipw::File("ro.txt", "new");
    e.external_attributes = 0x20;
    Stage({e});
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"ro.txt"), "new");
    EXPECT_EQ(Attributes(L"ro.txt") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ListFolder(root_), std::vector<std::wstring>{L"ro.txt"});
}

TEST_F(Extract, FileInUseStaysAndTheArchiveWaitsForTheNextStart) {
    ASSERT_TRUE(qt::WriteFileBytes(Path(L"held.dll"), "old held"));
    Stage({zipw::File("held.dll", "new held"), zipw::File("free.txt", "free")});
    {
        quenda::unique_hfile held(::CreateFileW(Path(L"held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        ExtractUpdateArchive();
        EXPECT_EQ(Read(L"held.dll"), "old held");
        EXPECT_EQ(Read(L"free.txt"), "free");
        EXPECT_TRUE(Exists(L"update.zip"));
        EXPECT_EQ(ListFolder(root_), (std::vector<std::wstring>{L"free.txt", L"held.dll", L"update.zip"}));
    }
    ExtractUpdateArchive();
    EXPECT_EQ(Read(L"held.dll"), "new held");
    EXPECT_FALSE(Exists(L"update.zip"));
}

TEST_F(Extract, EntriesAreFoundInAnyOrderAndIndicesAreChecked) {
    Stage({zipw::File("e0", "0"), zipw::File("e1", "1"), zipw::File("e2", "2")});
    ExtractResult opened;
    UpdateArchiveHandle archive = OpenUpdateArchive(opened);
    ASSERT_TRUE(archive);
    ArchiveEntryInfo info;
    ASSERT_EQ(GetArchiveEntry(*archive, -1, info), ExtractResult::Ok);
    EXPECT_EQ(info.index, 3);
    EXPECT_EQ(info.name[0], L'\0');
    for (const std::int32_t i : {2, 0, 1, 1, 2, 0}) {
        ASSERT_EQ(GetArchiveEntry(*archive, i, info), ExtractResult::Ok);
        EXPECT_EQ(info.index, i);
        EXPECT_EQ(std::wstring(info.name), L"e" + std::to_wstring(i));
    }
    EXPECT_EQ(ExtractArchiveEntry(*archive, 2, L"e2"), ExtractResult::Ok);
    EXPECT_EQ(ExtractArchiveEntry(*archive, 0, L"e0"), ExtractResult::Ok);
    EXPECT_EQ(GetArchiveEntry(*archive, 3, info), ExtractResult::BadArgument);
    EXPECT_EQ(GetArchiveEntry(*archive, -2, info), ExtractResult::BadArgument);
    EXPECT_EQ(ExtractArchiveEntry(*archive, 3, L"x"), ExtractResult::BadArgument);
    EXPECT_EQ(ExtractArchiveEntry(*archive, -1, L"x"), ExtractResult::BadArgument);
    // A caller's own target is checked as well.
    EXPECT_EQ(ExtractArchiveEntry(*archive, 1, L"..\\e1"), ExtractResult::CannotOpen);
    CloseUpdateArchive(archive);
    EXPECT_EQ(Read(L"e0"), "0");
    EXPECT_EQ(Read(L"e2"), "2");
    EXPECT_FALSE(Exists(L"e1"));
    EXPECT_EQ(ListFolder(scratch_.path()), std::vector<std::wstring>{L"root"});
}

TEST_F(Extract, AnUnreadableCentralRecordStopsTheWalkThere) {
    zipw::Entry broken = zipw::File("e1", "1");
    broken.bad_central_signature = true;
    Stage({zipw::File("e0", "0"), broken, zipw::File("e2", "2")});
    EXPECT_EQ(ExtractEach(), (std::vector<ExtractResult>{ExtractResult::Ok, ExtractResult::Corrupt,
                                                         ExtractResult::Corrupt}));
    ::DeleteFileW(Path(L"e0").c_str());
    ExtractUpdateArchive();
    EXPECT_EQ(ListFolder(root_), std::vector<std::wstring>{L"e0"});
}

TEST(EnsureFolderPath, CreatesEachMissingFolderBelowTheRoot) {
    qt::ScratchDir scratch(L"ensure");
    const std::wstring root = scratch / L"new_root";
    EnsureFolderPath(root.c_str(), L"a/b/");
    EXPECT_NE(::GetFileAttributesW((root + L"\\a\\b").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EnsureFolderPath(root.c_str(), L"..\\outside");
    EXPECT_FALSE(qt::FileExists(scratch / L"outside"));
    EnsureFolderPath(root.c_str(), L"");
    EXPECT_EQ(ListFolder(scratch.path()), std::vector<std::wstring>{L"new_root"});
}

}  // namespace
