// Recovery through the central directory: after every local header has been salvaged, each
// entry the directory names whose copy is not intact is looked for where the directory says its
// data lies, shifted as far as the archive has moved, and placed only when its CRC-32 and size
// check. An entry whose local header was overwritten comes back this way; a directory record
// that fails every check changes nothing.
#include "salvage/central_directory.h"

#include "engine/file_repairer.h"
#include "salvage/entry_path.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace salvage {

std::optional<CentralHeaderRecord> ParseCentralHeader(std::span<const std::uint8_t> record)
{
    if (record.size() < zip::central::HeaderSize ||
        zip::readLe32(record, 0) != zip::CentralHeaderSignature)
        return std::nullopt;
    // The size check above makes every fixed field readable; value_or only satisfies the type.
    CentralHeaderRecord central;
    central.versionNeeded = zip::readLe16(record, zip::central::VersionNeeded).value_or(0);
    central.flags = zip::readLe16(record, zip::central::Flags).value_or(0);
    central.method = zip::readLe16(record, zip::central::Method).value_or(0);
    central.dosTime = zip::readLe16(record, zip::central::DosTime).value_or(0);
    central.dosDate = zip::readLe16(record, zip::central::DosDate).value_or(0);
    central.crc = zip::readLe32(record, zip::central::Crc).value_or(0);
    central.compressedSize = zip::readLe32(record, zip::central::CompressedSize).value_or(0);
    central.uncompressedSize = zip::readLe32(record, zip::central::UncompressedSize).value_or(0);
    central.nameLength = zip::readLe16(record, zip::central::NameLength).value_or(0);
    central.extraLength = zip::readLe16(record, zip::central::ExtraLength).value_or(0);
    central.localHeaderOffset = zip::readLe32(record, zip::central::LocalHeaderOffset).value_or(0);
    if (central.nameLength == 0 || central.nameLength > MaxEntryNameLength ||
        record.size() - zip::central::HeaderSize < central.nameLength)
        return std::nullopt;
    const auto name = record.subspan(zip::central::HeaderSize, central.nameLength);
    if (std::find(name.begin(), name.end(), std::uint8_t{0}) != name.end())
        return std::nullopt;
    central.name.assign(name.begin(), name.end());
    if (!confineEntryPath(central.name, 0))
        return std::nullopt;
    return central;
}

std::vector<CentralHeaderRecord> ReadCentralHeaders(platform::CFile64& file,
                                                    std::span<const std::int64_t> offsets)
{
    std::vector<CentralHeaderRecord> records;
    std::array<std::uint8_t, zip::central::HeaderSize + MaxEntryNameLength> buffer{};
    for (const std::int64_t offset : offsets) {
        // Near the end of the file fewer bytes arrive; only those are parsed.
        const std::size_t got = file.ReadAt(offset, buffer).value_or(0);
        if (auto record = ParseCentralHeader(std::span(buffer.data(), got)))
            records.push_back(std::move(*record));
    }
    return records;
}

LocalHeaderRecord LocalHeaderFor(const CentralHeaderRecord& central, std::uint16_t extraLength)
{
    LocalHeaderRecord header;
    header.signature = zip::LocalHeaderSignature;
    header.versionNeeded = central.versionNeeded;
    header.flags = static_cast<std::uint16_t>(central.flags & ~zip::FlagDataDescriptor);
    header.method = central.method;
    header.dosTime = central.dosTime;
    header.dosDate = central.dosDate;
    header.crc = central.crc;
    header.compressedSize = central.compressedSize;
    header.uncompressedSize = central.uncompressedSize;
    header.nameLength = central.nameLength;
    header.extraLength = extraLength;
    return header;
}

} // namespace salvage

namespace {

// A size or offset of this value says the true one is in a ZIP64 extra field, not read here.
constexpr std::uint32_t Zip64Marker = 0xFFFFFFFF;

// An entry found both ways: where the directory puts its local header, and how far from
// there the scan found it.
struct Match
{
    std::int64_t directoryOffset = 0;
    std::int64_t shift = 0;
};

// The archive may have moved in the file (junk before it, a chunk cut out): each entry that was
// salvaged by its local header tells by how much, for its stretch of the archive. Sorted by
// directory offset; of several copies of a name the one nearest its directory offset counts.
std::vector<Match> matchesOf(const std::vector<salvage::CentralHeaderRecord>& records,
                             const std::vector<EntryReport>& found, std::size_t workspaceLength)
{
    std::vector<Match> matches;
    for (const auto& record : records) {
        const auto entry = salvage::confineEntryPath(record.name, workspaceLength);
        if (!entry)
            continue;
        const std::string relative = entry->Relative();
        const std::int64_t directoryOffset = record.localHeaderOffset;
        std::optional<std::int64_t> shift;
        for (const EntryReport& report : found) {
            const std::int64_t candidate = report.offset - directoryOffset;
            if (report.name == relative && (!shift || std::abs(candidate) < std::abs(*shift)))
                shift = candidate;
        }
        if (shift)
            matches.push_back({directoryOffset, *shift});
    }
    std::sort(matches.begin(), matches.end(),
              [](const Match& a, const Match& b) { return a.directoryOffset < b.directoryOffset; });
    return matches;
}

// The shifts worth trying for an entry: those of the nearest matched entries at or before it
// and after it, then none.
std::vector<std::int64_t> shiftsFor(const std::vector<Match>& matches, std::int64_t directoryOffset)
{
    std::vector<std::int64_t> shifts;
    const auto after = std::upper_bound(
        matches.begin(), matches.end(), directoryOffset,
        [](std::int64_t offset, const Match& match) { return offset < match.directoryOffset; });
    if (after != matches.begin())
        shifts.push_back(std::prev(after)->shift);
    if (after != matches.end())
        shifts.push_back(after->shift);
    shifts.push_back(0);
    return shifts;
}

// The local extra field's length is not in the directory: the directory's own, none, and the
// local header's where its two bytes lie inside the file.
std::vector<std::uint16_t> extraLengthsFor(platform::CFile64& file,
                                           const salvage::CentralHeaderRecord& record,
                                           std::int64_t headerOffset)
{
    std::vector<std::uint16_t> extras = {record.extraLength, 0};
    std::array<std::uint8_t, 2> local{};
    const std::int64_t at = headerOffset + static_cast<std::int64_t>(zip::local::ExtraLength);
    if (file.ReadAt(at, local).value_or(0) == local.size())
        extras.push_back(zip::readLe16(local, 0).value_or(0));
    return extras;
}

// Whether the directory names an entry that a check can prove: a file, stored or deflated,
// with 32-bit sizes and offset.
bool isCheckable(const salvage::CentralHeaderRecord& record, const salvage::EntryPath& entry)
{
    return !entry.IsDirectory() &&
           (record.method == zip::MethodStored || record.method == zip::MethodDeflated) &&
           record.compressedSize != Zip64Marker && record.uncompressedSize != Zip64Marker &&
           record.localHeaderOffset != Zip64Marker;
}

// The last entry was read again from where an earlier report of it says its header lies, and
// now checks: the earlier reports of that entry give way, so each entry is reported once.
void forgetEarlierReports(std::vector<EntryReport>& entries)
{
    const EntryReport& checked = entries.back();
    const auto earlier =
        std::remove_if(entries.begin(), entries.end() - 1, [&](const EntryReport& e) {
            return e.name == checked.name && e.offset == checked.offset;
        });
    entries.erase(earlier, entries.end() - 1);
}

} // namespace

void CFileRepairer::SalvageFromCentralDirectory(const std::string& workspacePath)
{
    const auto records = salvage::ReadCentralHeaders(m_file, m_centralHeaderOffsets);
    if (records.empty())
        return;
    const std::int64_t fileSize = m_file.Size().value_or(0);
    const auto matches = matchesOf(records, m_report.entries, workspacePath.size());
    for (const auto& record : records) {
        const auto entry = salvage::confineEntryPath(record.name, workspacePath.size());
        if (!entry || !isCheckable(record, *entry))
            continue;
        const auto placed = m_placedStates.find(entry->Relative());
        if (placed != m_placedStates.end() && placed->second == EntryState::Intact)
            continue; // proved whole already: nothing here can do better

        std::vector<std::int64_t> tried; // data offsets already checked for this record
        const auto recoverBehind = [&](std::int64_t headerOffset) {
            for (const std::uint16_t extra : extraLengthsFor(m_file, record, headerOffset)) {
                const std::int64_t dataOffset = headerOffset +
                                                static_cast<std::int64_t>(zip::local::HeaderSize) +
                                                record.nameLength + extra;
                if (dataOffset > fileSize ||
                    fileSize - dataOffset < static_cast<std::int64_t>(record.compressedSize) ||
                    std::find(tried.begin(), tried.end(), dataOffset) != tried.end())
                    continue;
                tried.push_back(dataOffset);
                const auto header = salvage::LocalHeaderFor(record, extra);
                const EntryState state =
                    record.method == zip::MethodDeflated
                        ? RecoverDeflatedVerified(header, record.name, dataOffset, workspacePath)
                        : RecoverStoredVerified(header, record.name, dataOffset, workspacePath);
                if (state == EntryState::Intact)
                    return true;
            }
            return false;
        };
        for (const std::int64_t shift : shiftsFor(matches, record.localHeaderOffset)) {
            const std::int64_t headerOffset = record.localHeaderOffset + shift;
            if (headerOffset >= 0 && headerOffset < fileSize && recoverBehind(headerOffset)) {
                forgetEarlierReports(m_report.entries);
                break;
            }
        }
    }
}
