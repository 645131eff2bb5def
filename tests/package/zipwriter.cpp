#include "package/zipwriter.h"

#include <stdexcept>

#include <zlib.h>

namespace ziptest {

namespace {

void put16(std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void put64(std::string& s, std::uint64_t v) {
    put32(s, static_cast<std::uint32_t>(v));
    put32(s, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t sat32(std::uint64_t v) { return v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); }

std::string deflateWith(z_stream& zs, const std::string& data, int flush) {
    std::string out;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    char buf[16384];
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        int ret = deflate(&zs, flush);
        if (ret == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
        out.append(buf, sizeof buf - zs.avail_out);
    } while (zs.avail_out == 0);
    return out;
}

}  // namespace

std::string deflateRaw(const std::string& data, int level) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out = deflateWith(zs, data, Z_FINISH);
    deflateEnd(&zs);
    return out;
}

std::string deflatedZeros(std::uint64_t total) {
    const std::string mib(1 << 20, '\0');
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    // After a full flush nothing refers back, and the block ends on a byte
    // boundary: it can be repeated as it is.
    std::string block = deflateWith(zs, mib, Z_FULL_FLUSH);
    std::string tail = deflateWith(zs, std::string(), Z_FINISH);
    deflateEnd(&zs);
    std::string out;
    std::uint64_t n = total >> 20;
    out.reserve(block.size() * n + tail.size());
    for (std::uint64_t i = 0; i < n; ++i) out += block;
    return out + tail;
}

std::uint32_t crcOf(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::uint32_t dosTime(int year, int month, int day, int hour, int minute, int second) {
    std::uint32_t time = static_cast<std::uint32_t>((second / 2) & 31) | (static_cast<std::uint32_t>(minute & 63) << 5) |
                         (static_cast<std::uint32_t>(hour & 31) << 11);
    std::uint32_t date = static_cast<std::uint32_t>(day & 31) | (static_cast<std::uint32_t>(month & 15) << 5) |
                         (static_cast<std::uint32_t>((year - 1980) & 127) << 9);
    return time | (date << 16);
}

Built build(const Archive& a) {
    Built b;
    b.bytes = a.prefix;
    std::vector<std::string> payloads;
    for (const Entry& e : a.entries) {
        std::string payload = e.payload ? *e.payload : (e.method == 8 ? deflateRaw(e.data) : e.data);
        std::uint64_t usize = e.uncompressedSize.value_or(e.data.size());
        std::uint64_t csize = e.compressedSize.value_or(payload.size());
        std::uint32_t crc = e.crc.value_or(crcOf(e.data));
        b.localOffsets.push_back(b.bytes.size());
        std::string& s = b.bytes;
        put32(s, 0x04034B50);
        put16(s, e.zip64 ? 45 : 20);
        put16(s, e.flags);
        put16(s, e.method);
        put32(s, e.dateTime);
        put32(s, crc);
        put32(s, e.zip64 ? 0xFFFFFFFFu : sat32(csize));
        put32(s, e.zip64 ? 0xFFFFFFFFu : sat32(usize));
        put16(s, static_cast<std::uint32_t>(e.name.size()));
        put16(s, static_cast<std::uint32_t>(e.localExtra.size()));
        s += e.name;
        s += e.localExtra;
        b.dataOffsets.push_back(s.size());
        s += payload;
        payloads.push_back(std::move(payload));
    }

    std::vector<std::size_t> order = a.centralOrder;
    if (order.empty())
        for (std::size_t i = 0; i < a.entries.size(); ++i) order.push_back(i);
    b.centralStart = b.bytes.size();
    b.centralOffsets.resize(a.entries.size());
    for (std::size_t i : order) {
        const Entry& e = a.entries[i];
        std::uint64_t usize = e.uncompressedSize.value_or(e.data.size());
        std::uint64_t csize = e.compressedSize.value_or(payloads[i].size());
        std::uint32_t crc = e.crc.value_or(crcOf(e.data));
        std::string extra;
        if (e.zip64) {
            put16(extra, 0x0001);
            put16(extra, 24);
            put64(extra, usize);
            put64(extra, csize);
            put64(extra, b.localOffsets[i]);
        }
        extra += e.centralExtra;
        std::string& s = b.bytes;
        b.centralOffsets[i] = s.size();
        put32(s, 0x02014B50);
        put16(s, e.versionMadeBy);
        put16(s, e.zip64 ? 45 : 20);
        put16(s, e.flags);
        put16(s, e.method);
        put32(s, e.dateTime);
        put32(s, crc);
        put32(s, e.zip64 ? 0xFFFFFFFFu : sat32(csize));
        put32(s, e.zip64 ? 0xFFFFFFFFu : sat32(usize));
        put16(s, static_cast<std::uint32_t>(e.name.size()));
        put16(s, e.centralExtraLength.value_or(static_cast<std::uint16_t>(extra.size())));
        put16(s, static_cast<std::uint32_t>(e.comment.size()));
        put16(s, 0);
        put16(s, 0);
        put32(s, e.externalAttributes);
        put32(s, e.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(b.localOffsets[i]));
        s += e.name;
        s += extra;
        s += e.comment;
    }
    std::uint64_t centralSize = b.bytes.size() - b.centralStart;
    std::uint64_t count = a.entries.size();

    std::string& s = b.bytes;
    if (a.zip64End) {
        std::uint64_t z64 = s.size();
        put32(s, 0x06064B50);
        put64(s, 44);
        put16(s, 45);
        put16(s, 45);
        put32(s, 0);
        put32(s, 0);
        put64(s, count);
        put64(s, count);
        put64(s, centralSize);
        put64(s, b.centralStart);
        put32(s, 0x07064B50);
        put32(s, 0);
        put64(s, z64);
        put32(s, 1);
    }
    b.endOffset = s.size();
    put32(s, 0x06054B50);
    put16(s, a.thisDisk.value_or(0));
    put16(s, a.centralDisk.value_or(0));
    std::uint16_t n16 = a.totalEntries.value_or(a.zip64End ? 0xFFFF : static_cast<std::uint16_t>(count));
    put16(s, n16);
    put16(s, n16);
    put32(s, a.zip64End ? 0xFFFFFFFFu : sat32(centralSize));
    put32(s, a.zip64End ? 0xFFFFFFFFu : sat32(b.centralStart));
    put16(s, static_cast<std::uint32_t>(a.comment.size()));
    s += a.comment;
    return b;
}

}  // namespace ziptest
