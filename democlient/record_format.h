// The demo client's record files ("<exe>.starts", "<exe>.messages"): each
// record is a 4-byte little-endian length followed by that many bytes. The
// client writes them; the tests and the demo tool read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo_records {

inline std::string Encode(const std::string& bytes) {
    std::string record(4, '\0');
    const auto size = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) record[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return record + bytes;
}

// A record still being written at the end of the file is left out.
inline std::vector<std::string> Decode(const std::string& file) {
    std::vector<std::string> records;
    std::size_t pos = 0;
    while (pos + 4 <= file.size()) {
        std::uint32_t size = 0;
        for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(static_cast<unsigned char>(file[pos + i])) << (8 * i);
        pos += 4;
        if (size > file.size() - pos) break;
        records.push_back(file.substr(pos, size));
        pos += size;
    }
    return records;
}

}  // namespace demo_records
