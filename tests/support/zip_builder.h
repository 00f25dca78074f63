// Builds ZIP archives byte by byte for tests, with any field overridable, so that each test can
// make exactly the damage it is about: wrong sizes, missing descriptors, a garbage prefix, a cut.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// Raw deflate (no zlib header) of data, as ZIP method 8 holds it.
[[nodiscard]] Bytes rawDeflate(std::span<const std::uint8_t> data, int level = 6);
// zlib's CRC-32 of data.
[[nodiscard]] std::uint32_t crc32Of(std::span<const std::uint8_t> data);
// Deterministic bytes that do not compress well (a fixed-seed generator).
[[nodiscard]] Bytes noise(std::size_t size, std::uint32_t seed = 1);

struct ZipEntry
{
    std::string name;
    Bytes data;              // the uncompressed contents
    std::uint16_t method = 8; // 8 deflated (by rawDeflate), anything else stored as it is
    int deflateLevel = 6;     // 0 makes stored deflate blocks: the data lies in them verbatim
    // Flag bit 3: sizes and CRC-32 are 0 in the local header and follow the data in a data
    // descriptor with its signature.
    bool dataDescriptor = false;
    std::uint16_t flags = 0; // more flag bits (bit 3 is added for dataDescriptor)
    std::uint16_t dosTime = 0x6000; // 12:00:00
    std::uint16_t dosDate = 0x5A21; // 2025-01-01
    Bytes localExtra;
    std::uint32_t externalAttributes = 0;
    // Overrides of the local header's fields (the central header keeps the true values).
    std::optional<std::uint32_t> localCrc;
    std::optional<std::uint32_t> localCompressedSize;
    std::optional<std::uint32_t> localUncompressedSize;
    std::optional<std::uint16_t> localNameLength;
};

struct BuiltZip
{
    Bytes bytes;
    std::vector<std::size_t> localHeaderOffsets; // one per entry, in order
    std::vector<std::size_t> dataOffsets;        // first data byte of each entry
    std::size_t centralDirectoryOffset = 0;      // where it starts (or would have)
};

class ZipBuilder
{
public:
    // Bytes written before the first local header.
    ZipBuilder& prefix(Bytes junk);
    ZipBuilder& add(ZipEntry entry);
    // Leaves out the central directory and end record (a container cut before them).
    ZipBuilder& withoutCentralDirectory();

    [[nodiscard]] BuiltZip build() const;

private:
    Bytes m_prefix;
    std::vector<ZipEntry> m_entries;
    bool m_centralDirectory = true;
};

} // namespace testsupport
