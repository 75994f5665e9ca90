// Extraction of "update.zip" from the working directory over the installation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

// The driver of the launch sequence: extracts every entry of "update.zip" in
// the working directory below that directory, then deletes the archive unless
// an entry could not be installed because its target could not be written or
// replaced (the archive then waits for the next start).
void ExtractUpdateArchive();

enum class ExtractResult : std::uint32_t {
    Ok = 0,
    CannotOpen = 0x200,      // archive unreadable; target not creatable; name refused
    WriteFailed = 0x400,     // writing the new file failed
    Corrupt = 0x700,         // local header unreadable or unlike the central record
    ReadFailed = 0x800,      // local extra field not readable in full
    WrongPassword = 0x1000,  // encrypted entry (no password is ever known)
    BadArgument = 0x10000,   // index outside the archive
    DataError = 0x5000000,   // data unreadable, not inflatable, short, or CRC-32 wrong
};

constexpr std::size_t kArchivePathCapacity = 260;  // UTF-16 units with terminator

struct ArchiveEntryInfo {
    std::int32_t index = 0;  // for index -1: the number of entries
    wchar_t name[kArchivePathCapacity] = {};  // decoded and sanitised; empty when unusable
    std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits
    // Zero where the archive gives no valid time.
    FILETIME access_time = {};
    FILETIME creation_time = {};
    FILETIME modification_time = {};
    std::uint32_t compressed_size = 0;
    std::uint32_t uncompressed_size = 0;
};

struct UpdateArchive;
struct UpdateArchiveDeleter {
    void operator()(UpdateArchive* archive) const noexcept;
};
using UpdateArchiveHandle = std::unique_ptr<UpdateArchive, UpdateArchiveDeleter>;

// Opens "update.zip" in the working directory, which becomes the root folder
// of every extracted path. Empty, with CannotOpen, when it is no readable
// single-disk ZIP archive.
UpdateArchiveHandle OpenUpdateArchive(ExtractResult& result);

// Index -1 answers the number of entries in info.index.
ExtractResult GetArchiveEntry(UpdateArchive& archive, std::int32_t index, ArchiveEntryInfo& info);

// Writes the entry below the root folder under `target`, a relative name as
// GetArchiveEntry gives it. A name that could reach outside the root or alias
// a device or stream is refused (CannotOpen) before anything is touched. The
// new data goes to a temporary file beside the target, which replaces the
// target only once the data is complete and its CRC-32 matches; on failure
// the old file stays as it was.
ExtractResult ExtractArchiveEntry(UpdateArchive& archive, std::int32_t index, const wchar_t* target);

// True when an entry failed for a reason of the installation rather than of
// the archive: its target could not be created, written or replaced.
bool TargetFailed(const UpdateArchive& archive);

ExtractResult CloseUpdateArchive(UpdateArchiveHandle& archive);

// Creates the missing folders of a relative path below root, outermost first.
// Paths that do not fit 260 units or could leave the root are left alone.
void EnsureFolderPath(const wchar_t* root, const wchar_t* path);
