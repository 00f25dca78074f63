#include "salvage/local_header.h"

#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <algorithm>

namespace salvage {

bool ParseLocalHeader(std::span<const std::uint8_t> header, LocalHeaderRecord& record)
{
    if (header.size() < zip::local::HeaderSize)
        return false;
    // The size check above makes every field readable; value_or only satisfies the type.
    record.signature = zip::readLe32(header, 0).value_or(0);
    record.versionNeeded = zip::readLe16(header, zip::local::VersionNeeded).value_or(0);
    record.flags = zip::readLe16(header, zip::local::Flags).value_or(0);
    record.method = zip::readLe16(header, zip::local::Method).value_or(0);
    record.dosTime = zip::readLe16(header, zip::local::DosTime).value_or(0);
    record.dosDate = zip::readLe16(header, zip::local::DosDate).value_or(0);
    record.crc = zip::readLe32(header, zip::local::Crc).value_or(0);
    record.compressedSize = zip::readLe32(header, zip::local::CompressedSize).value_or(0);
    record.uncompressedSize = zip::readLe32(header, zip::local::UncompressedSize).value_or(0);
    record.nameLength = zip::readLe16(header, zip::local::NameLength).value_or(0);
    record.extraLength = zip::readLe16(header, zip::local::ExtraLength).value_or(0);
    return record.nameLength <= MaxEntryNameLength;
}

std::string ReadEntryName(std::span<const std::uint8_t> header, const LocalHeaderRecord& record,
                          std::int64_t& offset)
{
    std::string name;
    if (header.size() > zip::local::HeaderSize) {
        const auto bytes = header.subspan(
            zip::local::HeaderSize,
            std::min<std::size_t>(record.nameLength, header.size() - zip::local::HeaderSize));
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        name.assign(bytes.begin(), end);
    }
    offset +=
        static_cast<std::int64_t>(zip::local::HeaderSize) + record.nameLength + record.extraLength;
    return name;
}

} // namespace salvage
