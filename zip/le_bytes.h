// Little-endian fields of the ZIP formats, assembled and written byte by byte so that the
// host's byte order never matters. Readers return nullopt when the field does not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zip {

[[nodiscard]] inline std::optional<std::uint16_t> readLe16(std::span<const std::uint8_t> bytes,
                                                           std::size_t at)
{
    if (at > bytes.size() || bytes.size() - at < 2)
        return std::nullopt;
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(bytes[at]) |
                                      static_cast<std::uint16_t>(bytes[at + 1]) << 8);
}

[[nodiscard]] inline std::optional<std::uint32_t> readLe32(std::span<const std::uint8_t> bytes,
                                                           std::size_t at)
{
    if (at > bytes.size() || bytes.size() - at < 4)
        return std::nullopt;
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Writers for buffers whose size the caller has already made room for.
inline void writeLe16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value & 0xFFu);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void writeLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
}

// The four-byte record signatures, as they lie in the file.
inline constexpr std::uint32_t LocalHeaderSignature = 0x04034B50;     // 50 4B 03 04
inline constexpr std::uint32_t DataDescriptorSignature = 0x08074B50;  // 50 4B 07 08
inline constexpr std::uint32_t CentralHeaderSignature = 0x02014B50;   // 50 4B 01 02
inline constexpr std::uint32_t EndRecordSignature = 0x06054B50;       // 50 4B 05 06
inline constexpr std::uint32_t Zip64EndRecordSignature = 0x06064B50;  // 50 4B 06 06
inline constexpr std::uint32_t Zip64EndLocatorSignature = 0x07064B50; // 50 4B 06 07

} // namespace zip
