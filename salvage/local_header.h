// The ZIP local file header and data descriptor as salvage reads them from damaged bytes. Every
// field is assembled little-endian from the bytes actually read; nothing here trusts a size.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace salvage {

// A local header's name must not be longer than this; longer ones mark a false signature.
inline constexpr std::uint16_t MaxEntryNameLength = 260;

struct LocalHeaderRecord
{
    std::uint32_t signature = 0; // the four bytes at the header's start, as they lie
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
};

// The fields of a data descriptor that carries its signature; all 0 when none was found.
struct DataDescriptorRecord
{
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
};

// Fills record from the first 30 bytes of header. Returns false when fewer than 30 bytes are
// given or the name is longer than MaxEntryNameLength; no other field is judged.
[[nodiscard]] bool ParseLocalHeader(std::span<const std::uint8_t> header,
                                    LocalHeaderRecord& record);

// Returns the entry name: the name bytes after the fixed header, ending at the first zero byte
// or where header ends (a header cut by the end of the file). Advances offset from the header's
// first byte to the entry's first data byte (past the full name and extra field as announced).
[[nodiscard]] std::string ReadEntryName(std::span<const std::uint8_t> header,
                                        const LocalHeaderRecord& record, std::int64_t& offset);

} // namespace salvage
