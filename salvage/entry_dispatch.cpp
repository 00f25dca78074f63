// Per-entry salvage: reads the local header at a found signature, judges only the name length,
// and routes the entry by its compression method: 8 to the deflated recovery, anything else
// (stored, unknown or unsupported) to the stored recovery, which copies the bytes as they lie.
#include "engine/file_repairer.h"
#include "platform/file64.h"
#include "platform/file_system.h"
#include "zip/record_layout.h"

#include <zlib.h>

#include <array>
#include <optional>
#include <vector>

namespace {

// The header, a name of up to 260 bytes and a little more are read in one go.
constexpr std::size_t HeaderReadSize = 512;
// An entry is looked at only when this many bytes lie between its first byte and the end of
// the file: two more than the fixed header, a margin this salvage has always kept.
constexpr std::int64_t MinimumEntryBytes = 32;
constexpr std::uint16_t DeferredSizesFlag = 0x0008;

std::optional<std::uint32_t> crcOfFile(const std::string& path)
{
    platform::CFile64 file;
    if (!file.OpenRead(path))
        return std::nullopt;
    std::vector<std::uint8_t> buffer(std::size_t{64} << 10);
    auto crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    for (std::int64_t offset = 0;;) {
        const auto got = file.ReadAt(offset, buffer);
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return crc;
        crc = static_cast<std::uint32_t>(crc32(crc, buffer.data(), static_cast<uInt>(*got)));
        offset += static_cast<std::int64_t>(*got);
    }
}

} // namespace

void CFileRepairer::SalvageEntryAt(const std::string& workspacePath, std::int64_t offset)
{
    if (m_inPlaceRecovery && offset < m_claimedUntil)
        return; // signature-like bytes inside the data of an entry already recovered whole
    const std::int64_t size = m_file.Size().value_or(0);
    if (offset < 0 || offset > size || size - offset < MinimumEntryBytes)
        return;
    std::array<std::uint8_t, HeaderReadSize> buffer{};
    // Near the end of the file fewer bytes arrive; only those are used.
    const std::size_t got = m_file.ReadAt(offset, buffer).value_or(0);
    const std::span<const std::uint8_t> header(buffer.data(), got);

    salvage::LocalHeaderRecord record;
    if (!salvage::ParseLocalHeader(header, record))
        return;
    std::int64_t dataOffset = offset;
    const std::string name = salvage::ReadEntryName(header, record, dataOffset);
    // No recovery's result stops anything here: a lost entry never stops the others. Entries
    // are first read where they lie and checked; what that cannot read goes the older ways,
    // through the one-entry archive or copied up to the next signature.
    if (!m_inPlaceRecovery) {
        if (record.method == zip::MethodDeflated)
            (void)RecoverDeflatedEntry(record, name, dataOffset, workspacePath);
        else
            (void)RecoverStoredEntry(name, dataOffset, workspacePath);
        return;
    }
    if (record.method == zip::MethodDeflated) {
        if (RecoverDeflatedInPlace(record, name, dataOffset, workspacePath) == EntryState::Empty)
            (void)RecoverDeflatedEntry(record, name, dataOffset, workspacePath);
        return;
    }
    if (RecoverStoredVerified(record, name, dataOffset, workspacePath) != EntryState::Empty)
        return;
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    if (!entry)
        return;
    const auto placed = m_placedStates.find(entry->Relative());
    if (placed != m_placedStates.end() && placed->second > EntryState::Complete)
        return; // a checked copy of this name is already there
    if (!RecoverStoredEntry(name, dataOffset, workspacePath) || entry->IsDirectory())
        return;
    const std::int64_t written =
        platform::FileSize(platform::WithTrailingSeparator(workspacePath) + entry->Relative())
            .value_or(0);
    const bool sizeKnown = (record.flags & DeferredSizesFlag) == 0;
    EntryState state = EntryState::Complete;
    if (sizeKnown && written < static_cast<std::int64_t>(record.uncompressedSize))
        state = written > 0 ? EntryState::Partial : EntryState::Empty;
    // All of it came, but not as its header's CRC-32 says (the verified copy failed on that).
    else if (sizeKnown && record.method == zip::MethodStored &&
             written == static_cast<std::int64_t>(record.uncompressedSize) &&
             crcOfFile(platform::WithTrailingSeparator(workspacePath) + entry->Relative()) !=
                 record.crc)
        state = EntryState::Damaged;
    m_placedStates[entry->Relative()] = state;
    m_report.entries.push_back({entry->Relative(), offset, record.method, state, written});
}
