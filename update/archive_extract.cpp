#include "update/archive_extract.h"

#include <unzip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/win_handle.h"
#include "log/app_logger.h"
#include "update/archive_rules.h"

namespace {

constexpr DWORD kChunk = 16384;  // transfer buffer and largest raw read
// Reads at least this large go straight to their destination; smaller ones
// (the header fields minizip reads a byte at a time) come from read-ahead
// buffers, which spares a system call per byte. There are two, because the
// walk alternates between the central directory at the end of the file and
// the local headers in front of each entry's data.
constexpr uLong kDirectRead = 4096;
const wchar_t kArchiveName[] = L"update.zip";

// The archive file as minizip sees it: positions count from where the handle
// stood when it was opened.
struct ArchiveStream {
    quenda::unique_hfile file;
    ULONGLONG base = 0;
    ULONGLONG pos = 0;         // logical read position
    ULONGLONG handle_pos = 0;  // where the handle stands
    bool failed = false;
    struct Ahead {
        std::unique_ptr<unsigned char[]> bytes{new unsigned char[kChunk]};
        ULONGLONG start = 0;
        DWORD length = 0;
        bool Holds(ULONGLONG at) const { return at >= start && at < start + length; }
    };
    Ahead ahead[2];
    int recent = 0;  // the buffer used last; the other one is refilled
};

// One ReadFile at the logical position; the handle is moved only when it
// does not stand there already.
DWORD ReadAt(ArchiveStream& s, unsigned char* dest, DWORD size) {
    if (s.handle_pos != s.pos) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(s.base + s.pos);
        LONG high = to.HighPart;
        if (::SetFilePointer(s.file.get(), static_cast<LONG>(to.LowPart), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            ::GetLastError() != NO_ERROR) {
            s.failed = true;
            return 0;
        }
        s.handle_pos = s.pos;
    }
    DWORD got = 0;
    if (!::ReadFile(s.file.get(), dest, size, &got, nullptr)) {
        s.failed = true;
        return 0;
    }
    s.handle_pos += got;
    return got;
}

voidpf ZCALLBACK StreamOpen(voidpf opaque, const char*, int) { return opaque; }

uLong ZCALLBACK StreamRead(voidpf, voidpf stream, void* buf, uLong size) {
    ArchiveStream& s = *static_cast<ArchiveStream*>(stream);
    auto* out = static_cast<unsigned char*>(buf);
    uLong done = 0;
    while (done < size) {
        const int hit = s.ahead[s.recent].Holds(s.pos) ? s.recent : s.ahead[1 - s.recent].Holds(s.pos) ? 1 - s.recent : -1;
        if (hit >= 0) {
            const ArchiveStream::Ahead& a = s.ahead[hit];
            const DWORD offset = static_cast<DWORD>(s.pos - a.start);
            const DWORD n = static_cast<DWORD>(std::min<uLong>(a.length - offset, size - done));
            std::memcpy(out + done, a.bytes.get() + offset, n);
            done += n;
            s.pos += n;
            s.recent = hit;
            continue;
        }
        if (size >= kDirectRead) {
            const DWORD want = static_cast<DWORD>(std::min<uLong>(size - done, kChunk));
            const DWORD got = ReadAt(s, out + done, want);
            done += got;
            s.pos += got;
            if (got < want) break;
            continue;
        }
        s.recent = 1 - s.recent;
        ArchiveStream::Ahead& a = s.ahead[s.recent];
        a.start = s.pos;
        a.length = 0;  // stays empty if the read fails
        a.length = ReadAt(s, a.bytes.get(), kChunk);
        if (a.length == 0) break;
    }
    return done;
}

uLong ZCALLBACK StreamWrite(voidpf, voidpf, const void*, uLong) { return 0; }

long ZCALLBACK StreamTell(voidpf, voidpf stream) {
    const ArchiveStream& s = *static_cast<ArchiveStream*>(stream);
    return s.pos <= static_cast<ULONGLONG>(LONG_MAX) ? static_cast<long>(s.pos) : -1;
}

long ZCALLBACK StreamSeek(voidpf, voidpf stream, uLong offset, int origin) {
    ArchiveStream& s = *static_cast<ArchiveStream*>(stream);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            s.pos = offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_CUR:
            s.pos += offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_END: {
            LONG high = 0;
            const DWORD low = ::SetFilePointer(s.file.get(), 0, &high, FILE_END);
            if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
            const ULONGLONG end = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
            if (end < s.base) return -1;
            s.handle_pos = end - s.base;
            s.pos = s.handle_pos + offset;
            return 0;
        }
        default:
            return -1;
    }
}

int ZCALLBACK StreamClose(voidpf, voidpf stream) {
    static_cast<ArchiveStream*>(stream)->file.reset();
    return 0;
}

int ZCALLBACK StreamError(voidpf, voidpf stream) { return static_cast<ArchiveStream*>(stream)->failed ? 1 : 0; }

struct CachedEntry {
    ArchiveEntryInfo info;
    uLong flags = 0;
    uLong method = 0;
};

std::wstring WithBackslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

FILETIME ToFileTime(std::uint64_t value) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(value);
    t.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return t;
}

bool IsSet(const FILETIME& t) { return t.dwLowDateTime != 0 || t.dwHighDateTime != 0; }

// The DOS date and time are local time; none when they name no calendar time.
FILETIME DosTimeToUtc(uLong dos_date_time) {
    FILETIME utc = {};
    const auto t = archive_rules::DecodeDosDateTime(dos_date_time);
    if (!t) return utc;
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(t->year);
    st.wMonth = static_cast<WORD>(t->month);
    st.wDay = static_cast<WORD>(t->day);
    st.wHour = static_cast<WORD>(t->hour);
    st.wMinute = static_cast<WORD>(t->minute);
    st.wSecond = static_cast<WORD>(t->second);
    FILETIME local;
    if (!::SystemTimeToFileTime(&st, &local) || !::LocalFileTimeToFileTime(&local, &utc)) return FILETIME{};
    return utc;
}

// The temporary name a new file is written under before it replaces its
// target: short, in the target's own folder (so the replacement is a rename),
// and distinct for concurrent launchers.
std::wstring TempFileName() {
    wchar_t name[32] = {};
    const DWORD pid = ::GetCurrentProcessId();
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::size_t n = 0;
    for (const wchar_t c : {L'~', L'q', L'u'}) name[n++] = c;
    bool leading = true;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const DWORD digit = (pid >> shift) & 0xF;
        if (leading && digit == 0 && shift != 0) continue;
        leading = false;
        name[n++] = kHex[digit];
    }
    for (const wchar_t c : {L'.', L't', L'm', L'p'}) name[n++] = c;
    return std::wstring(name, n);
}

void DeleteFileForce(const wchar_t* path) {
    if (::DeleteFileW(path)) return;
    // Read-only files refuse deletion until the flag is gone.
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        ::DeleteFileW(path);
    }
}

// Replaces target with source by path; a read-only target is replaced as
// well (and keeps its flag when even that fails). Answers 0 or the error.
DWORD ReplaceByPath(const wchar_t* source, const wchar_t* target) {
    if (::MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING)) return 0;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED) return error;
    const DWORD attributes = ::GetFileAttributesW(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) return error;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return error;
    if (!::SetFileAttributesW(target, attributes & ~FILE_ATTRIBUTE_READONLY)) return error;
    if (::MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING)) return 0;
    const DWORD retry_error = ::GetLastError();
    ::SetFileAttributesW(target, attributes);
    return retry_error;
}

// Whether a target that could not be created, written or replaced may work
// on a later start (a file in use, a full disk), rather than never (a file
// where the archive has a folder, a name the file system refuses).
bool MayWorkLater(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_PARAMETER:
            return false;
        default:
            return true;
    }
}

// Renames the open file over target. Done through the handle that wrote it,
// this is one call instead of the reopen that a rename by path needs.
bool RenameOpenFile(HANDLE file, const std::wstring& target) {
    // The name is handed to the kernel as it stands, so it must be an NT path.
    std::wstring nt;
    if (target.compare(0, 4, L"\\\\?\\") == 0) {
        nt = L"\\??\\" + target.substr(4);
    } else if (target.compare(0, 2, L"\\\\") == 0) {
        nt = L"\\??\\UNC\\" + target.substr(2);
    } else {
        nt = L"\\??\\" + target;
    }
    const std::size_t bytes = nt.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, nt.data(), bytes);
    return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

// The new file of one entry until its data is complete. Where no file of the
// target's name exists, it is written under that name straight away (nothing
// old can be lost, and no rename is paid for); otherwise under a temporary
// name beside the target, renamed over it at the end. Unless committed, what
// was created is removed again.
class NewFile {
public:
    NewFile(std::wstring target, std::wstring temp) : target_(std::move(target)), temp_(std::move(temp)) {}
    ~NewFile() {
        file_.reset();
        if (created_ && !committed_) DeleteFileForce(direct_ ? target_.c_str() : temp_.c_str());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool Create(DWORD attributes) {
        const DWORD access = GENERIC_WRITE | DELETE;
        // CREATE_NEW tests for an old file and creates the new one in one
        // step, with no gap between the two; where a file exists it fails at
        // next to no cost.
        file_.reset(::CreateFileW(target_.c_str(), access, 0, nullptr, CREATE_NEW, attributes, nullptr));
        if (file_) {
            created_ = direct_ = true;
            return true;
        }
        // CREATE_NEW here too: whatever file bears the temporary name is
        // not ours to overwrite.
        file_.reset(::CreateFileW(temp_.c_str(), access, 0, nullptr, CREATE_NEW, attributes, nullptr));
        created_ = file_.valid();
        if (!created_) error_ = ::GetLastError();
        return created_;
    }
    HANDLE handle() const { return file_.get(); }

    bool Commit() {
        if (!direct_ && !RenameOpenFile(file_.get(), target_)) {
            // A read-only target, or a file system without renames by
            // handle: by path, after closing.
            file_.reset();
            error_ = ReplaceByPath(temp_.c_str(), target_.c_str());
            if (error_ != 0) return false;
        }
        file_.reset();
        committed_ = true;
        return true;
    }
    // Why Create or Commit failed.
    DWORD error() const { return error_; }

private:
    std::wstring target_;
    std::wstring temp_;
    quenda::unique_hfile file_;
    bool created_ = false;
    bool direct_ = false;
    bool committed_ = false;
    DWORD error_ = 0;
};

// The entry that is open in the reader, closed on every way out.
class OpenEntry {
public:
    explicit OpenEntry(unzFile reader) : reader_(reader) {}
    ~OpenEntry() {
        if (reader_) ::unzCloseCurrentFile(reader_);
    }
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;
    // Closes now and answers the reader's verdict (UNZ_CRCERROR on a CRC-32
    // mismatch of fully read data).
    int Close() {
        const int verdict = ::unzCloseCurrentFile(reader_);
        reader_ = nullptr;
        return verdict;
    }

private:
    unzFile reader_;
};

}  // namespace

struct UpdateArchive {
    std::unique_ptr<ArchiveStream> stream;
    unzFile reader = nullptr;
    std::wstring root;  // ends with a separator
    std::int32_t count = 0;
    std::int32_t current = 0;           // the reader's current entry; INT32_MAX: unknown
    std::int32_t walk_broken_at = -1;   // first index the walk could not reach
    CachedEntry cache;
    std::int32_t cached_index = -1;
    std::vector<unsigned char> extra;   // local extra field of the entry being read
    std::unique_ptr<char[]> transfer;
    std::wstring temp_name = TempFileName();
    std::unordered_set<std::wstring> known_folders;  // relative, known to exist
    bool root_ensured = false;
    bool target_failed = false;

    ~UpdateArchive() {
        if (reader) ::unzClose(reader);
    }
};

void UpdateArchiveDeleter::operator()(UpdateArchive* archive) const noexcept { delete archive; }

namespace {

ExtractResult WalkTo(UpdateArchive& a, std::int32_t index) {
    if (a.walk_broken_at >= 0 && index >= a.walk_broken_at) return ExtractResult::Corrupt;
    if (index < a.current) {
        if (::unzGoToFirstFile(a.reader) != UNZ_OK) {
            a.walk_broken_at = 0;
            a.current = INT32_MAX;
            return ExtractResult::Corrupt;
        }
        a.current = 0;
    }
    while (a.current < index) {
        if (::unzGoToNextFile(a.reader) != UNZ_OK) {
            // A central record that cannot be read: the walk cannot pass it,
            // so neither it nor any later entry can be reached.
            a.walk_broken_at = a.current + 1;
            a.current = INT32_MAX;
            return ExtractResult::Corrupt;
        }
        ++a.current;
    }
    return ExtractResult::Ok;
}

ExtractResult LoadEntry(UpdateArchive& a, std::int32_t index) {
    const ExtractResult walked = WalkTo(a, index);
    if (walked != ExtractResult::Ok) return walked;

    unz_file_info record;
    char raw_name[kArchivePathCapacity];
    if (::unzGetCurrentFileInfo(a.reader, &record, raw_name, sizeof(raw_name), nullptr, 0, nullptr, 0) != UNZ_OK) {
        return ExtractResult::Corrupt;
    }

    // Opening the entry (raw: nothing is inflated) checks its local header
    // against the central record and locates the local extra field.
    if (::unzOpenCurrentFile2(a.reader, nullptr, nullptr, 1) != UNZ_OK) return ExtractResult::Corrupt;
    {
        OpenEntry entry(a.reader);
        const int extra_length = ::unzGetLocalExtrafield(a.reader, nullptr, 0);
        if (extra_length < 0) return ExtractResult::ReadFailed;
        a.extra.resize(static_cast<std::size_t>(extra_length));
        if (extra_length > 0 &&
            ::unzGetLocalExtrafield(a.reader, a.extra.data(), static_cast<unsigned>(extra_length)) != extra_length) {
            return ExtractResult::ReadFailed;
        }
    }

    CachedEntry entry;
    ArchiveEntryInfo& info = entry.info;
    info.index = index;
    // A name of 260 bytes or more arrives cut off and unterminated: it names
    // some other file, so the entry gets no name at all.
    if (record.size_filename < sizeof(raw_name)) {
        wchar_t decoded[kArchivePathCapacity] = {};
        if (::MultiByteToWideChar(CP_UTF8, 0, raw_name, -1, decoded, static_cast<int>(kArchivePathCapacity)) > 0) {
            const std::wstring safe = archive_rules::SanitizeEntryName(decoded);
            std::copy(safe.begin(), safe.end(), info.name);
            info.name[safe.size()] = L'\0';
        }
    }
    info.attributes = archive_rules::DecodeAttributes(record.version, record.external_fa);
    info.compressed_size = record.compressed_size;
    info.uncompressed_size = record.uncompressed_size;
    const FILETIME dos_time = DosTimeToUtc(record.dosDate);
    info.access_time = info.creation_time = info.modification_time = dos_time;
    if (const auto ut = archive_rules::FindExtendedTimestamp(a.extra.data(), a.extra.size())) {
        if (ut->modification) info.modification_time = ToFileTime(archive_rules::UnixTimeToFileTime(*ut->modification));
        if (ut->access) info.access_time = ToFileTime(archive_rules::UnixTimeToFileTime(*ut->access));
        if (ut->creation) info.creation_time = ToFileTime(archive_rules::UnixTimeToFileTime(*ut->creation));
    }
    entry.flags = record.flag;
    entry.method = record.compression_method;
    a.cache = entry;
    a.cached_index = index;
    return ExtractResult::Ok;
}

// Creates the folders of a checked relative path (backslashes) below the
// root, outermost first, each at most once per archive: a folder made or
// found is remembered in `known`.
void EnsureFolders(const std::wstring& root, const std::wstring& path, std::unordered_set<std::wstring>& known) {
    for (std::size_t end = 0; end < path.size(); ++end) {
        const bool last = end + 1 == path.size();
        if (path[end] != L'\\' && !last) continue;
        std::wstring prefix = path.substr(0, path[end] == L'\\' ? end : end + 1);
        if (prefix.empty() || known.count(prefix)) continue;
        if (root.size() + prefix.size() >= kArchivePathCapacity) return;
        const std::wstring full = root + prefix;
        // An existing file of the folder's name counts as existing: creating
        // a file below it fails later.
        if (::CreateDirectoryW(full.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) {
            known.insert(std::move(prefix));
        }
    }
}

void EnsureArchiveFolders(UpdateArchive& a, const std::wstring& path) {
    if (!a.root_ensured) {
        if (::GetFileAttributesW(a.root.c_str()) == INVALID_FILE_ATTRIBUTES) ::CreateDirectoryW(a.root.c_str(), nullptr);
        a.root_ensured = true;
    }
    EnsureFolders(a.root, path, a.known_folders);
}

}  // namespace

UpdateArchiveHandle OpenUpdateArchive(ExtractResult& result) {
    result = ExtractResult::CannotOpen;
    UpdateArchiveHandle archive(new UpdateArchive);

    wchar_t root[kArchivePathCapacity] = {};
    const DWORD n = ::GetCurrentDirectoryW(kArchivePathCapacity, root);
    if (n == 0 || n >= kArchivePathCapacity) return nullptr;
    archive->root.assign(root, n);
    if (archive->root.back() != L'\\' && archive->root.back() != L'/') {
        if (n + 1 >= kArchivePathCapacity) return nullptr;
        archive->root += L'\\';
    }

    archive->stream.reset(new ArchiveStream);
    ArchiveStream& stream = *archive->stream;
    stream.file.reset(::CreateFileW(kArchiveName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stream.file) return nullptr;
    LONG high = 0;
    const DWORD low = ::SetFilePointer(stream.file.get(), 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return nullptr;
    stream.base = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
    stream.handle_pos = 0;

    zlib_filefunc_def functions = {};
    functions.zopen_file = StreamOpen;
    functions.zread_file = StreamRead;
    functions.zwrite_file = StreamWrite;
    functions.ztell_file = StreamTell;
    functions.zseek_file = StreamSeek;
    functions.zclose_file = StreamClose;
    functions.zerror_file = StreamError;
    functions.opaque = &stream;
    archive->reader = ::unzOpen2("update.zip", &functions);
    if (!archive->reader) return nullptr;

    unz_global_info global;
    if (::unzGetGlobalInfo(archive->reader, &global) != UNZ_OK || global.number_entry > INT32_MAX) return nullptr;
    archive->count = static_cast<std::int32_t>(global.number_entry);
    // The reader has tried to make the first entry current already; whether
    // that worked is not reported, so ask again.
    if (archive->count > 0 && ::unzGoToFirstFile(archive->reader) != UNZ_OK) {
        archive->walk_broken_at = 0;
        archive->current = INT32_MAX;
    }
    result = ExtractResult::Ok;
    return archive;
}

ExtractResult GetArchiveEntry(UpdateArchive& archive, std::int32_t index, ArchiveEntryInfo& info) {
    if (index < -1 || index >= archive.count) return ExtractResult::BadArgument;
    if (index >= 0 && index == archive.cached_index) {
        info = archive.cache.info;
        return ExtractResult::Ok;
    }
    if (index == -1) {
        info = ArchiveEntryInfo();
        info.index = archive.count;
        return ExtractResult::Ok;
    }
    const ExtractResult loaded = LoadEntry(archive, index);
    if (loaded != ExtractResult::Ok) return loaded;
    info = archive.cache.info;
    return ExtractResult::Ok;
}

bool TargetFailed(const UpdateArchive& archive) { return archive.target_failed; }

ExtractResult ExtractArchiveEntry(UpdateArchive& archive, std::int32_t index, const wchar_t* target) {
    if (index < 0 || index >= archive.count) return ExtractResult::BadArgument;
    ArchiveEntryInfo info;
    const ExtractResult found = GetArchiveEntry(archive, index, info);
    if (found != ExtractResult::Ok) return found;
    const ExtractResult walked = WalkTo(archive, index);
    if (walked != ExtractResult::Ok) return walked;

    const std::wstring name = WithBackslashes(target ? target : L"");
    const bool folder_entry = (info.attributes & archive_rules::kAttrDirectory) != 0;
    if (folder_entry && name.empty()) return ExtractResult::Ok;  // the root itself
    // Nothing may be written outside the root or under a name Windows reads
    // as a device, a stream or another file.
    if (archive_rules::CheckRelativeName(name) != archive_rules::NameCheck::Ok) return ExtractResult::CannotOpen;
    if (archive.root.size() + name.size() >= kArchivePathCapacity) return ExtractResult::CannotOpen;

    if (folder_entry) {
        EnsureArchiveFolders(archive, name);
        return ExtractResult::Ok;
    }

    const archive_rules::SplitName parts = archive_rules::SplitAtLastSeparator(name);
    EnsureArchiveFolders(archive, parts.folder);
    if (parts.file.empty()) return ExtractResult::CannotOpen;  // a folder's name without the folder flag
    const std::wstring full = archive.root + name;
    const std::wstring temp = archive.root + parts.folder + archive.temp_name;
    if (temp.size() >= kArchivePathCapacity) return ExtractResult::CannotOpen;

    // Traditional encryption cannot be undone without a password, and this
    // reader has no decryption: such data would be installed as garbage.
    if (archive.cache.flags & 1) return ExtractResult::WrongPassword;
    if (archive.cache.method != 0 && archive.cache.method != Z_DEFLATED) return ExtractResult::DataError;

    const int opened = ::unzOpenCurrentFile(archive.reader);
    if (opened != UNZ_OK) return opened == UNZ_BADZIPFILE ? ExtractResult::Corrupt : ExtractResult::DataError;
    OpenEntry entry(archive.reader);
    if (!archive.transfer) archive.transfer.reset(new char[kChunk]);

    NewFile file(full, temp);
    const DWORD attributes = info.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (!file.Create(attributes ? attributes : FILE_ATTRIBUTE_NORMAL)) {
        if (MayWorkLater(file.error())) archive.target_failed = true;
        return ExtractResult::CannotOpen;
    }

    ULONGLONG produced = 0;
    for (;;) {
        const int got = ::unzReadCurrentFile(archive.reader, archive.transfer.get(), kChunk);
        if (got < 0) return ExtractResult::DataError;
        if (got == 0) break;
        DWORD written = 0;
        if (!::WriteFile(file.handle(), archive.transfer.get(), static_cast<DWORD>(got), &written, nullptr) ||
            written != static_cast<DWORD>(got)) {
            archive.target_failed = true;
            return ExtractResult::WriteFailed;
        }
        produced += static_cast<ULONGLONG>(got);
    }
    // Data that ends before its declared size, or whose CRC-32 does not
    // match, is not installed.
    if (produced != info.uncompressed_size) return ExtractResult::DataError;
    if (entry.Close() != UNZ_OK) return ExtractResult::DataError;

    const FILETIME* creation = IsSet(info.creation_time) ? &info.creation_time : nullptr;
    const FILETIME* access = IsSet(info.access_time) ? &info.access_time : nullptr;
    const FILETIME* modification = IsSet(info.modification_time) ? &info.modification_time : nullptr;
    if (creation || access || modification) ::SetFileTime(file.handle(), creation, access, modification);

    if (!file.Commit()) {
        if (MayWorkLater(file.error())) archive.target_failed = true;
        return ExtractResult::CannotOpen;
    }
    return ExtractResult::Ok;
}

ExtractResult CloseUpdateArchive(UpdateArchiveHandle& archive) {
    archive.reset();
    return ExtractResult::Ok;
}

void EnsureFolderPath(const wchar_t* root, const wchar_t* path) {
    if (!root) return;
    const std::wstring root_text = root;
    if (root_text.empty() || root_text.size() >= kArchivePathCapacity) return;
    if (::GetFileAttributesW(root) == INVALID_FILE_ATTRIBUTES) ::CreateDirectoryW(root, nullptr);
    const std::wstring relative = WithBackslashes(path ? path : L"");
    if (relative.empty() || archive_rules::CheckRelativeName(relative) != archive_rules::NameCheck::Ok) return;
    std::wstring base = root_text;
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';
    std::unordered_set<std::wstring> known;
    EnsureFolders(base, relative, known);
}

void ExtractUpdateArchive() {
    if (::GetFileAttributesW(kArchiveName) == INVALID_FILE_ATTRIBUTES) return;

    bool keep = false;
    std::int32_t failed = 0;
    std::int32_t count = 0;
    ExtractResult result;
    if (UpdateArchiveHandle archive = OpenUpdateArchive(result)) {
        ArchiveEntryInfo info;
        GetArchiveEntry(*archive, -1, info);
        count = info.index;
        for (std::int32_t i = 0; i < count; ++i) {
            info = ArchiveEntryInfo();
            GetArchiveEntry(*archive, i, info);
            if (ExtractArchiveEntry(*archive, i, info.name) != ExtractResult::Ok) ++failed;
            // Past a central record that cannot be read every index fails the
            // same way; a forged entry count must not keep the loop busy.
            if (archive->walk_broken_at >= 0 && i + 1 >= archive->walk_broken_at) {
                failed += count - (i + 1);
                break;
            }
        }
        keep = TargetFailed(*archive);
        CloseUpdateArchive(archive);
    }
    if (keep) {
        // An entry's file could not be replaced (the client may still hold
        // it): the whole update is tried again on the next start.
        QLOG_INFO("ExtractUpdateArchive") << "update.zip kept for the next start: " << failed << " of " << count
                                          << " entries not installed";
        return;
    }
    DeleteFileForce(kArchiveName);
}
