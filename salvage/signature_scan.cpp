// The signature scan: one forward pass over the whole input in 65536-byte blocks through one
// fixed buffer, listing every local-header, data-descriptor and central-directory-header
// signature without judging it.
// The last three bytes of each block are carried into the next, so a signature that lies across
// a block edge is found like any other.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t ScanBlockSize = 65536;
constexpr std::size_t SignatureCarry = zip::SignatureSize - 1;

constexpr std::uint8_t SignatureP = 0x50;
constexpr std::uint8_t SignatureK = 0x4B;

// The record signatures that end an entry's data: "PK" followed by these two bytes.
constexpr std::array<std::array<std::uint8_t, 2>, 6> EntryEndMarks = {{
    {0x03, 0x04}, // local header
    {0x07, 0x08}, // data descriptor
    {0x01, 0x02}, // central-directory header
    {0x05, 0x06}, // end record
    {0x06, 0x06}, // ZIP64 end record
    {0x06, 0x07}, // ZIP64 end-record locator
}};

bool endsEntryAt(const std::uint8_t* at)
{
    if (at[0] != SignatureP || at[1] != SignatureK)
        return false;
    return std::any_of(EntryEndMarks.begin(), EntryEndMarks.end(),
                       [at](const auto& mark) { return at[2] == mark[0] && at[3] == mark[1]; });
}

} // namespace

bool CFileRepairer::ExtractFileContent()
{
    ScanSignatures();
    const std::string workspace = WorkspaceTreePath();
    if (!workspace.empty()) // without a private folder there is nowhere safe to write
        SalvageEntries(workspace);
    return true;
}

void CFileRepairer::ScanSignatures()
{
    const std::int64_t size = m_file.Size().value_or(0);
    std::vector<std::uint8_t> buffer(ScanBlockSize);
    // The last bytes of the previous block, and the file offset of the first of them.
    std::array<std::uint8_t, 2 * SignatureCarry> seam{};
    std::size_t carried = 0;
    for (std::int64_t base = 0; base < size; base += static_cast<std::int64_t>(ScanBlockSize)) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(size - base, ScanBlockSize));
        // A failed read counts as an empty block; only bytes actually read are tested.
        const std::size_t got = m_file.ReadAt(base, std::span(buffer.data(), want)).value_or(0);
        const std::span<const std::uint8_t> block(buffer.data(), got);

        // Signatures that start in the carried bytes and end in this block.
        const std::size_t joined = std::min(got, SignatureCarry);
        std::copy_n(block.begin(), joined, seam.begin() + static_cast<std::ptrdiff_t>(carried));
        if (carried + joined >= zip::SignatureSize)
            ScanBlock(std::span(seam.data(), carried + joined),
                      base - static_cast<std::int64_t>(carried));

        ScanBlock(block, base);

        // Only a whole block joins up with the next one.
        carried = got == want && got >= SignatureCarry ? SignatureCarry : 0;
        std::copy_n(block.end() - static_cast<std::ptrdiff_t>(carried), carried, seam.begin());
    }
}

void CFileRepairer::ScanBlock(std::span<const std::uint8_t> block, std::int64_t baseOffset)
{
    if (block.size() < zip::SignatureSize)
        return;
    const std::uint8_t* const first = block.data();
    const std::uint8_t* const stop = first + (block.size() - zip::SignatureSize + 1);
    for (const std::uint8_t* at = first; at < stop; ++at) {
        // memchr skips the bytes that cannot start a signature far faster than a byte loop.
        at = static_cast<const std::uint8_t*>(
            std::memchr(at, SignatureP, static_cast<std::size_t>(stop - at)));
        if (!at)
            break;
        const auto signature = zip::readLe32(std::span(at, zip::SignatureSize), 0);
        const std::int64_t offset = baseOffset + (at - first);
        if (signature == zip::LocalHeaderSignature)
            m_localHeaderOffsets.push_back(offset);
        else if (signature == zip::DataDescriptorSignature)
            m_dataDescriptorOffsets.push_back(offset);
        else if (signature == zip::CentralHeaderSignature)
            m_centralHeaderOffsets.push_back(offset);
    }
}

void CFileRepairer::SalvageEntries(const std::string& workspacePath)
{
    for (const std::int64_t offset : m_localHeaderOffsets)
        SalvageEntryAt(workspacePath, offset);
    if (m_inPlaceRecovery)
        SalvageFromCentralDirectory(workspacePath);
}

bool CFileRepairer::FindNextSignature(std::span<const std::uint8_t> chunk, std::size_t start,
                                      std::size_t& length)
{
    const std::size_t end = std::min(length, chunk.size());
    if (end < zip::SignatureSize || start > end - zip::SignatureSize)
        return false;
    const std::uint8_t* const first = chunk.data();
    const std::uint8_t* const stop = first + (end - zip::SignatureSize + 1);
    for (const std::uint8_t* at = first + start; at < stop; ++at) {
        at = static_cast<const std::uint8_t*>(
            std::memchr(at, SignatureP, static_cast<std::size_t>(stop - at)));
        if (!at)
            return false;
        if (endsEntryAt(at)) {
            length = static_cast<std::size_t>(at - first);
            return true;
        }
    }
    return false;
}
