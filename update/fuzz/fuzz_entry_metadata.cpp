// Entry metadata as an attacker may store it: extra fields of any shape, any
// DOS date and time, any attribute word. Nothing may be read out of bounds
// (the field is copied to a buffer of exactly its size) and every answer must
// be a real calendar time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "update/archive_rules.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 10) {
        const auto t = archive_rules::DecodeDosDateTime(Le32(data));
        if (t) {
            Require(t->year >= 1980 && t->year <= 2107);
            Require(t->month >= 1 && t->month <= 12 && t->day >= 1 && t->day <= 31);
            Require(t->hour <= 23 && t->minute <= 59 && t->second <= 58);
        }
        const std::uint32_t attributes =
            archive_rules::DecodeAttributes(static_cast<std::uint32_t>(data[4] | (data[5] << 8)), Le32(data + 6));
        Require((attributes & ~0x37u) == 0);
        data += 10;
        size -= 10;
    }
    std::unique_ptr<unsigned char[]> field(new unsigned char[size ? size : 1]);
    if (size) std::memcpy(field.get(), data, size);
    const auto times = archive_rules::FindExtendedTimestamp(field.get(), size);
    if (times) {
        for (const auto* t : {&times->modification, &times->access, &times->creation}) {
            if (*t) Require(archive_rules::UnixTimeToFileTime(**t) > 0);
        }
    }
    return 0;
}
