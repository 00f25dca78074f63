// The ZIP central directory as salvage reads it from damaged bytes: each central-directory file
// header is found by its signature wherever it lies, without the end record, and read on its own.
// It names an entry with its method, flags, sizes, CRC-32 and local-header offset, so an entry
// whose local header is destroyed can still be found and checked. Like local_header.h, every
// field is assembled little-endian from the bytes actually read.
#pragma once

#include "platform/file64.h"
#include "salvage/local_header.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace salvage {

struct CentralHeaderRecord
{
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    // From the archive's first byte, which need not be the file's (junk before it, a cut).
    std::uint32_t localHeaderOffset = 0;
    std::string name;
};

// Reads the central-directory header at the start of record. Returns nullopt unless record
// starts with the header's signature and holds its 46 fixed bytes and the whole name, and the
// name is 1 to MaxEntryNameLength bytes with no zero byte and names something once confined
// (entry_path.h). The extra field and the comment are not read and may be cut off.
[[nodiscard]] std::optional<CentralHeaderRecord>
ParseCentralHeader(std::span<const std::uint8_t> record);

// Reads and parses the central-directory header at each offset of file, in the given order;
// the ones that do not parse are left out.
[[nodiscard]] std::vector<CentralHeaderRecord>
ReadCentralHeaders(platform::CFile64& file, std::span<const std::int64_t> offsets);

// The local header that central describes, with extraLength for its extra field (the one
// value the directory does not repeat). Flag bit 3 is cleared: the directory holds the true
// CRC-32 and sizes, so there is no data descriptor to look for.
[[nodiscard]] LocalHeaderRecord LocalHeaderFor(const CentralHeaderRecord& central,
                                               std::uint16_t extraLength);

} // namespace salvage
