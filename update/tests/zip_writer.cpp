#include "update/tests/zip_writer.h"

#include <zlib.h>

namespace zipw {

namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::uint32_t Crc32(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string Deflate(const std::string& data) {
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Build(const std::vector<Entry>& entries) {
    std::string archive;
    std::string central;
    for (const Entry& e : entries) {
        std::string stored = e.deflate ? Deflate(e.data) : e.data;
        if (e.cut_data && *e.cut_data < stored.size()) stored.resize(*e.cut_data);
        const std::uint16_t method = e.method ? *e.method : (e.deflate ? 8 : 0);
        const std::uint32_t crc = e.crc ? *e.crc : Crc32(e.data);
        const std::uint32_t size = e.uncompressed_size ? *e.uncompressed_size : static_cast<std::uint32_t>(e.data.size());
        const std::uint32_t offset = static_cast<std::uint32_t>(archive.size());

        Put32(archive, e.bad_local_signature ? 0x04034b51u : 0x04034b50u);
        Put16(archive, 20);
        Put16(archive, e.flags);
        Put16(archive, method);
        Put16(archive, e.dos_time);
        Put16(archive, e.dos_date);
        Put32(archive, crc);
        Put32(archive, static_cast<std::uint32_t>(stored.size()));
        Put32(archive, size);
        Put16(archive, static_cast<std::uint32_t>(e.name.size()));
        Put16(archive, e.local_extra_length ? *e.local_extra_length : static_cast<std::uint32_t>(e.local_extra.size()));
        archive += e.name;
        archive += e.local_extra;
        archive += stored;

        Put32(central, e.bad_central_signature ? 0x02014b51u : 0x02014b50u);
        Put16(central, e.version_made_by);
        Put16(central, 20);
        Put16(central, e.flags);
        Put16(central, method);
        Put16(central, e.dos_time);
        Put16(central, e.dos_date);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(stored.size()));
        Put32(central, size);
        Put16(central, static_cast<std::uint32_t>(e.name.size()));
        Put16(central, static_cast<std::uint32_t>(e.central_extra.size()));
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, e.external_attributes);
        Put32(central, offset);
        central += e.name;
        central += e.central_extra;
    }
    const std::uint32_t central_offset = static_cast<std::uint32_t>(archive.size());
    archive += central;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put32(archive, static_cast<std::uint32_t>(central.size()));
    Put32(archive, central_offset);
    Put16(archive, 0);
    return archive;
}

Entry File(const std::string& name, const std::string& data) {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

Entry Folder(const std::string& name) {
    Entry e;
    e.name = name;
    e.external_attributes = 0x10;
    return e;
}

std::string ExtraBlock(std::uint16_t id, const std::string& data) {
    std::string out;
    Put16(out, id);
    Put16(out, static_cast<std::uint32_t>(data.size()));
    return out + data;
}

std::string UtBlock(std::uint8_t flags, const std::vector<std::int32_t>& times, int declared_size) {
    std::string data(1, static_cast<char>(flags));
    for (const std::int32_t t : times) Put32(data, static_cast<std::uint32_t>(t));
    std::string out = "UT";
    Put16(out, declared_size < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(declared_size));
    return out + data;
}

}  // namespace zipw
