#include "support/zip_builder.h"

#include "zip/le_bytes.h"

#include <zlib.h>

#include <stdexcept>

namespace testsupport {

namespace {

void put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

void append(Bytes& out, std::span<const std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

Bytes rawDeflate(std::span<const std::uint8_t> data, int level)
{
    z_stream stream = {};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    return out;
}

std::uint32_t crc32Of(std::span<const std::uint8_t> data)
{
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size())));
}

Bytes noise(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t state = seed ? seed : 1;
    for (auto& b : out) {
        state ^= state << 13; // xorshift32
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

ZipBuilder& ZipBuilder::prefix(Bytes junk)
{
    m_prefix = std::move(junk);
    return *this;
}

ZipBuilder& ZipBuilder::add(ZipEntry entry)
{
    m_entries.push_back(std::move(entry));
    return *this;
}

ZipBuilder& ZipBuilder::withoutCentralDirectory()
{
    m_centralDirectory = false;
    return *this;
}

BuiltZip ZipBuilder::build() const
{
    BuiltZip zip;
    Bytes& out = zip.bytes;
    append(out, m_prefix);
    struct Central
    {
        std::uint32_t crc, compressed, uncompressed;
        std::uint16_t flags;
    };
    std::vector<Central> centrals;
    for (const auto& e : m_entries) {
        const Bytes stored = e.method == 8 ? rawDeflate(e.data, e.deflateLevel) : e.data;
        const std::uint32_t crc = crc32Of(e.data);
        const auto compressed = static_cast<std::uint32_t>(stored.size());
        const auto uncompressed = static_cast<std::uint32_t>(e.data.size());
        const std::uint16_t flags =
            static_cast<std::uint16_t>(e.flags | (e.dataDescriptor ? 0x0008 : 0));
        zip.localHeaderOffsets.push_back(out.size());
        put32(out, zip::LocalHeaderSignature);
        put16(out, 20);
        put16(out, flags);
        put16(out, e.method);
        put16(out, e.dosTime);
        put16(out, e.dosDate);
        put32(out, e.localCrc.value_or(e.dataDescriptor ? 0 : crc));
        put32(out, e.localCompressedSize.value_or(e.dataDescriptor ? 0 : compressed));
        put32(out, e.localUncompressedSize.value_or(e.dataDescriptor ? 0 : uncompressed));
        put16(out, e.localNameLength.value_or(static_cast<std::uint16_t>(e.name.size())));
        put16(out, static_cast<std::uint16_t>(e.localExtra.size()));
        append(out, std::span(reinterpret_cast<const std::uint8_t*>(e.name.data()), e.name.size()));
        append(out, e.localExtra);
        zip.dataOffsets.push_back(out.size());
        append(out, stored);
        if (e.dataDescriptor) {
            put32(out, zip::DataDescriptorSignature);
            put32(out, crc);
            put32(out, compressed);
            put32(out, uncompressed);
        }
        centrals.push_back({crc, compressed, uncompressed, flags});
    }
    zip.centralDirectoryOffset = out.size();
    if (!m_centralDirectory)
        return zip;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const auto& e = m_entries[i];
        put32(out, zip::CentralHeaderSignature);
        put16(out, 20);
        put16(out, 20);
        put16(out, centrals[i].flags);
        put16(out, e.method);
        put16(out, e.dosTime);
        put16(out, e.dosDate);
        put32(out, centrals[i].crc);
        put32(out, centrals[i].compressed);
        put32(out, centrals[i].uncompressed);
        put16(out, static_cast<std::uint16_t>(e.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, e.externalAttributes);
        put32(out, static_cast<std::uint32_t>(zip.localHeaderOffsets[i] - m_prefix.size()));
        append(out, std::span(reinterpret_cast<const std::uint8_t*>(e.name.data()), e.name.size()));
    }
    const auto directorySize = static_cast<std::uint32_t>(out.size() - zip.centralDirectoryOffset);
    put32(out, zip::EndRecordSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(m_entries.size()));
    put16(out, static_cast<std::uint16_t>(m_entries.size()));
    put32(out, directorySize);
    put32(out, static_cast<std::uint32_t>(zip.centralDirectoryOffset - m_prefix.size()));
    put16(out, 0);
    return zip;
}

} // namespace testsupport
