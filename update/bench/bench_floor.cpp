// The floor for extracting an update archive under Wine: what inflating the
// archive's data costs alone, and what writing its files costs alone
// (CreateFileW, WriteFile in 16 KiB pieces, SetFileTime, CloseHandle, each
// folder created once). The archive is read into memory first, untimed.
//
//   bench_floor.exe ARCHIVE OUTPUT_FOLDER
// prints: inflate_s=<s> crc_s=<s> write_s=<s> rewrite_s=<s> files=<n> bytes=<n>
// where rewrite_s writes the same files once more over the first ones.
// Without arguments it does nothing and exits (the benchmark also uses it as
// the client the launcher starts).
#include <windows.h>

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/win_handle.h"

namespace {

constexpr unsigned kChunk = 16384;

struct Item {
    std::wstring name;  // backslashes
    bool folder = false;
    bool deflated = false;
    std::string raw;   // as stored in the archive
    std::string data;  // inflated
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

std::string ReadEntry(unzFile zip, int raw, uLong size) {
    std::string out(size, '\0');
    if (::unzOpenCurrentFile2(zip, nullptr, nullptr, raw) != UNZ_OK) return std::string();
    uLong done = 0;
    while (done < size) {
        const unsigned want = static_cast<unsigned>(std::min<uLong>(size - done, kChunk));
        const int got = ::unzReadCurrentFile(zip, &out[done], want);
        if (got <= 0) break;
        done += static_cast<uLong>(got);
    }
    ::unzCloseCurrentFile(zip);
    out.resize(done);
    return out;
}

bool Load(const char* archive, std::vector<Item>& items) {
    unzFile zip = ::unzOpen(archive);
    if (!zip) return false;
    for (int err = ::unzGoToFirstFile(zip); err == UNZ_OK; err = ::unzGoToNextFile(zip)) {
        unz_file_info info;
        char name[1024];
        if (::unzGetCurrentFileInfo(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) break;
        Item item;
        for (const char* p = name; *p; ++p) item.name += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
        item.folder = !item.name.empty() && item.name.back() == L'\\';
        if (item.folder) item.name.pop_back();
        item.deflated = info.compression_method == Z_DEFLATED;
        if (!item.folder) {
            item.raw = ReadEntry(zip, 1, info.compressed_size);
            item.data = ReadEntry(zip, 0, info.uncompressed_size);
        }
        items.push_back(std::move(item));
    }
    ::unzClose(zip);
    return true;
}

double TimeInflate(const std::vector<Item>& items) {
    std::vector<unsigned char> out(kChunk);
    const LARGE_INTEGER start = Now();
    for (const Item& item : items) {
        if (item.folder || !item.deflated) continue;
        z_stream z = {};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(item.raw.data()));
        z.avail_in = static_cast<uInt>(item.raw.size());
        int status = Z_OK;
        while (status == Z_OK) {
            z.next_out = out.data();
            z.avail_out = kChunk;
            status = inflate(&z, Z_SYNC_FLUSH);
        }
        inflateEnd(&z);
    }
    return Seconds(start, Now());
}

double TimeCrc(const std::vector<Item>& items) {
    const LARGE_INTEGER start = Now();
    uLong sum = 0;
    for (const Item& item : items) {
        uLong crc = 0;
        for (std::size_t at = 0; at < item.data.size(); at += kChunk) {
            const std::size_t n = std::min<std::size_t>(kChunk, item.data.size() - at);
            crc = crc32(crc, reinterpret_cast<const Bytef*>(item.data.data() + at), static_cast<uInt>(n));
        }
        sum ^= crc;
    }
    const double seconds = Seconds(start, Now());
    if (sum == 0x12345678) std::printf(" ");  // keeps the loop from being optimised away
    return seconds;
}

double TimeWrite(const std::vector<Item>& items, const std::wstring& root) {
    FILETIME stamp;
    ::GetSystemTimeAsFileTime(&stamp);
    std::set<std::wstring> folders;
    const LARGE_INTEGER start = Now();
    ::CreateDirectoryW(root.c_str(), nullptr);
    for (const Item& item : items) {
        // Each folder of the path once, outermost first.
        const std::wstring folder = item.folder ? item.name : item.name.substr(0, item.name.rfind(L'\\') + 1);
        for (std::size_t end = 0; end <= folder.size(); ++end) {
            if (end < folder.size() && folder[end] != L'\\') continue;
            const std::wstring prefix = folder.substr(0, end);
            if (prefix.empty() || !folders.insert(prefix).second) continue;
            ::CreateDirectoryW((root + L"\\" + prefix).c_str(), nullptr);
        }
        if (item.folder) continue;
        quenda::unique_hfile file(::CreateFileW((root + L"\\" + item.name).c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
        if (!file) continue;
        for (std::size_t at = 0; at < item.data.size(); at += kChunk) {
            const DWORD n = static_cast<DWORD>(std::min<std::size_t>(kChunk, item.data.size() - at));
            DWORD written = 0;
            ::WriteFile(file.get(), item.data.data() + at, n, &written, nullptr);
        }
        ::SetFileTime(file.get(), &stamp, &stamp, &stamp);
    }
    return Seconds(start, Now());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 0;
    std::string archive;
    for (const wchar_t* p = argv[1]; *p; ++p) archive += static_cast<char>(*p);
    std::vector<Item> items;
    if (!Load(archive.c_str(), items)) {
        std::fprintf(stderr, "cannot read %s\n", archive.c_str());
        return 1;
    }
    std::size_t files = 0, bytes = 0;
    for (const Item& item : items) {
        if (item.folder) continue;
        ++files;
        bytes += item.data.size();
    }
    const double inflate_s = TimeInflate(items);
    const double crc_s = TimeCrc(items);
    const double write_s = TimeWrite(items, argv[2]);
    const double rewrite_s = TimeWrite(items, argv[2]);
    std::printf("inflate_s=%.3f crc_s=%.3f write_s=%.3f rewrite_s=%.3f files=%u bytes=%u\n", inflate_s, crc_s,
                write_s, rewrite_s, static_cast<unsigned>(files), static_cast<unsigned>(bytes));
    return 0;
}
