// Per-entry salvage: reads the local header at a found signature, judges only the name length,
// and routes the entry by its compression method: 8 to the deflated recovery, anything else
// (stored, unknown or unsupported) to the stored recovery, which copies the bytes as they lie.
#include "engine/file_repairer.h"
#include "zip/record_layout.h"

#include <array>

namespace {

// The header, a name of up to 260 bytes and a little more are read in one go.
constexpr std::size_t HeaderReadSize = 512;
// An entry is looked at only when this many bytes lie between its first byte and the end of
// the file: two more than the fixed header, a margin this salvage has always kept.
constexpr std::int64_t MinimumEntryBytes = 32;

} // namespace

void CFileRepairer::SalvageEntryAt(const std::string& workspacePath, std::int64_t offset)
{
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
    // Neither recovery's result changes anything here: a lost entry never stops the others.
    if (record.method == zip::MethodDeflated)
        (void)RecoverDeflatedEntry(record, name, dataOffset, workspacePath);
    else
        (void)RecoverStoredEntry(name, dataOffset, workspacePath);
}
