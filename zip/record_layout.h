// Byte offsets of the fields of the ZIP records that salvage and the reader read and write.
// Every multi-byte field is little-endian (see le_bytes.h); offsets count from the record's
// first byte, which is its four-byte signature.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zip {

inline constexpr std::size_t SignatureSize = 4;

// Local file header: 30 bytes, then the name and the extra field, then the entry's data.
namespace local {
inline constexpr std::size_t VersionNeeded = 4;
inline constexpr std::size_t Flags = 6;
inline constexpr std::size_t Method = 8;
inline constexpr std::size_t DosTime = 10;
inline constexpr std::size_t DosDate = 12;
inline constexpr std::size_t Crc = 14;
inline constexpr std::size_t CompressedSize = 18;
inline constexpr std::size_t UncompressedSize = 22;
inline constexpr std::size_t NameLength = 26;
inline constexpr std::size_t ExtraLength = 28;
inline constexpr std::size_t HeaderSize = 30;
} // namespace local

// Data descriptor with its signature: 16 bytes.
namespace descriptor {
inline constexpr std::size_t Crc = 4;
inline constexpr std::size_t CompressedSize = 8;
inline constexpr std::size_t UncompressedSize = 12;
inline constexpr std::size_t RecordSize = 16;
} // namespace descriptor

// Central-directory file header: 46 bytes, then the name, the extra field and the comment.
namespace central {
inline constexpr std::size_t VersionMadeBy = 4;
inline constexpr std::size_t VersionNeeded = 6;
inline constexpr std::size_t Flags = 8;
inline constexpr std::size_t Method = 10;
inline constexpr std::size_t DosTime = 12;
inline constexpr std::size_t DosDate = 14;
inline constexpr std::size_t Crc = 16;
inline constexpr std::size_t CompressedSize = 20;
inline constexpr std::size_t UncompressedSize = 24;
inline constexpr std::size_t NameLength = 28;
inline constexpr std::size_t ExtraLength = 30;
inline constexpr std::size_t CommentLength = 32;
inline constexpr std::size_t DiskNumberStart = 34;
inline constexpr std::size_t InternalAttributes = 36;
inline constexpr std::size_t ExternalAttributes = 38;
inline constexpr std::size_t LocalHeaderOffset = 42;
inline constexpr std::size_t HeaderSize = 46;
} // namespace central

// End-of-central-directory record: 22 bytes, then the archive comment.
namespace endrecord {
inline constexpr std::size_t DiskNumber = 4;
inline constexpr std::size_t DirectoryDisk = 6;
inline constexpr std::size_t EntriesOnDisk = 8;
inline constexpr std::size_t TotalEntries = 10;
inline constexpr std::size_t DirectorySize = 12;
inline constexpr std::size_t DirectoryOffset = 16;
inline constexpr std::size_t CommentLength = 20;
inline constexpr std::size_t RecordSize = 22;
} // namespace endrecord

// General-purpose flag bit 3: CRC-32 and sizes follow the data in a data descriptor.
inline constexpr std::uint16_t FlagDataDescriptor = 0x0008;

inline constexpr std::uint16_t MethodStored = 0;
inline constexpr std::uint16_t MethodDeflated = 8;

} // namespace zip
