// A small ZIP writer for tests: builds archives in memory, honest or damaged
// in controlled ways.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

std::string deflateRaw(const std::string& data, int level = 6);

// A raw Deflate stream that inflates to `total` zero bytes (a multiple of
// 1 MiB), built from one self-contained block repeated, so that gigabytes of
// output cost only milliseconds to make.
std::string deflatedZeros(std::uint64_t total);

std::uint32_t crcOf(const std::string& data);

// MS-DOS time and date from raw fields; out-of-range values are kept as
// given (as far as the bit fields hold them).
std::uint32_t dosTime(int year, int month, int day, int hour, int minute, int second);

struct Entry {
    std::string name;
    std::string data;                 // the content the entry stands for
    std::uint16_t method = 8;         // 0 stored, 8 deflated, others: data stored as it is
    std::uint32_t dateTime = dosTime(2021, 3, 14, 15, 9, 26);
    std::uint16_t flags = 0;
    std::uint16_t versionMadeBy = 20;  // host 0 (MS-DOS)
    std::uint32_t externalAttributes = 0;
    std::string centralExtra;          // after the ZIP64 block, if any
    std::string localExtra;
    std::string comment;
    bool zip64 = false;                // sizes and local offset in a ZIP64 block
    std::optional<std::string> payload;              // stored bytes; default: data encoded by method
    std::optional<std::uint32_t> crc;                // default: CRC of data
    std::optional<std::uint64_t> uncompressedSize;   // declared; default data.size()
    std::optional<std::uint64_t> compressedSize;     // declared; default payload size
    std::optional<std::uint16_t> centralExtraLength; // declared length in the central header
};

struct Archive {
    std::vector<Entry> entries;
    std::string comment;
    std::string prefix;                      // bytes before the first entry
    bool zip64End = false;                   // ZIP64 end record and locator
    std::optional<std::uint16_t> thisDisk;   // end record fields
    std::optional<std::uint16_t> centralDisk;
    std::optional<std::uint16_t> totalEntries;
    std::vector<std::size_t> centralOrder;   // order of central headers; default physical
};

struct Built {
    std::string bytes;
    std::vector<std::uint64_t> localOffsets;
    std::vector<std::uint64_t> dataOffsets;
    std::vector<std::uint64_t> centralOffsets;
    std::uint64_t centralStart = 0;
    std::uint64_t endOffset = 0;
};

Built build(const Archive& archive);

}  // namespace ziptest
