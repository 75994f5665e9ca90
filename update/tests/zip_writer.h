// A small ZIP writer for test fixtures: every field of the local and central
// records can be set, including ones a real archiver would never write
// (wrong CRC-32, short data, hostile names, odd extra fields).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zipw {

constexpr std::uint16_t kDosHost = 0x0014;   // MS-DOS, version 2.0
constexpr std::uint16_t kUnixHost = 0x031E;  // Unix, version 3.0

struct Entry {
    std::string name;  // raw bytes as stored (UTF-8 usually)
    std::string data;  // the uncompressed content
    bool deflate = false;
    std::uint16_t version_made_by = kDosHost;
    std::uint32_t external_attributes = 0x20;
    std::uint16_t dos_date = 0x5A21;  // 2025-01-01
    std::uint16_t dos_time = 0x6000;  // 12:00:00
    std::uint16_t flags = 0;
    std::string local_extra;
    std::string central_extra;
    // Overrides of what is declared; the data written is as computed.
    std::optional<std::uint16_t> method;
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> uncompressed_size;
    // Only the first this many bytes of the stored/compressed data are
    // written, and the compressed size says so.
    std::optional<std::size_t> cut_data;
    // The local extra length as the local header states it.
    std::optional<std::uint16_t> local_extra_length;
    bool bad_local_signature = false;
    bool bad_central_signature = false;
};

// The complete archive.
std::string Build(const std::vector<Entry>& entries);

// Helpers for entries.
Entry File(const std::string& name, const std::string& data);
Entry Folder(const std::string& name);  // DOS directory attribute 0x10
std::string UtBlock(std::uint8_t flags, const std::vector<std::int32_t>& times, int declared_size = -1);
std::string ExtraBlock(std::uint16_t id, const std::string& data);
std::string Deflate(const std::string& data);  // raw deflate stream
std::uint32_t Crc32(const std::string& data);

}  // namespace zipw
