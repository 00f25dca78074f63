// Recovery that reads an entry's data where it lies and trusts only what can be checked. A
// deflated entry ends where its deflate stream ends, not at the first signature-like bytes, so
// an entry cut short or damaged midway keeps every byte that inflates before the damage, and a
// false signature inside compressed data never cuts an entry. A stored entry whose header gives
// its size is copied whole when the CRC-32 of those bytes proves the size right.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "zip/dos_time.h"
#include "zip/inflate_stream.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t ChunkSize = 65536;
constexpr std::uint16_t DeferredSizesFlag = 0x0008;
constexpr std::string_view InflatingName = "recovering.part";

std::uint32_t updateCrc(std::uint32_t crc, std::span<const std::uint8_t> bytes)
{
    return static_cast<std::uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::int64_t headerOffsetOf(const salvage::LocalHeaderRecord& header, std::int64_t dataOffset)
{
    return dataOffset - static_cast<std::int64_t>(zip::local::HeaderSize) - header.nameLength -
           header.extraLength;
}

struct Expected
{
    bool known = false;
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
    std::int64_t trailer = 0; // bytes of data descriptor after the compressed data
};

} // namespace

bool CFileRepairer::placeRecovered(const std::string& temporary, const std::string& workspacePath,
                                   const salvage::EntryPath& entry, EntryState state, bool readOnly)
{
    const std::string relative = entry.Relative();
    const auto placed = m_placedStates.find(relative);
    // Of two copies the better one stays; of two as good, the later one, as an archive that
    // was added to holds its newer copy last.
    if (placed != m_placedStates.end() && placed->second > state) {
        (void)platform::DeleteFile(temporary);
        return false;
    }
    const auto directory = CreateParentDirectories(workspacePath, entry);
    struct stat existing = {};
    const bool occupied = directory.IsOpen() &&
                          ::fstatat(directory.Descriptor(), entry.fileName.c_str(), &existing,
                                    AT_SYMLINK_NOFOLLOW) == 0 &&
                          !S_ISREG(existing.st_mode);
    if (!directory.IsOpen() || occupied ||
        ::renameat(AT_FDCWD, temporary.c_str(), directory.Descriptor(), entry.fileName.c_str()) !=
            0) {
        (void)platform::DeleteFile(temporary);
        return false;
    }
    // Like the archive reader's extracts, a deflated entry's file is read-only.
    (void)::fchmodat(directory.Descriptor(), entry.fileName.c_str(), readOnly ? 0444 : 0644, 0);
    m_placedStates[relative] = state;
    return true;
}

EntryState CFileRepairer::RecoverDeflatedInPlace(const salvage::LocalHeaderRecord& header,
                                                 const std::string& name, std::int64_t dataOffset,
                                                 const std::string& workspacePath)
{
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    const std::string folder = WorkspaceFolder();
    if (!entry || entry->IsDirectory() || folder.empty())
        return EntryState::Empty;
    const std::string temporary = folder + std::string(InflatingName);
    (void)platform::DeleteFile(temporary);
    platform::CFile64 out;
    if (!out.Create(temporary, platform::CreateMode::NewOnly))
        return EntryState::Empty;

    zip::InflateStream stream;
    if (!stream.IsValid())
        return (void)platform::DeleteFile(temporary), EntryState::Empty;
    std::vector<std::uint8_t> input(ChunkSize);
    std::vector<std::uint8_t> output(ChunkSize);
    const std::int64_t fileSize = m_file.Size().value_or(0);
    std::uint32_t crc = 0;
    std::int64_t produced = 0;
    std::int64_t consumed = 0;
    bool ended = false;
    bool failed = false; // damaged data, or the output could not be written
    while (!ended && !failed && dataOffset + consumed < fileSize) {
        const std::size_t got =
            m_file.ReadAt(dataOffset + consumed, std::span(input.data(), input.size())).value_or(0);
        if (got == 0)
            break;
        std::span<const std::uint8_t> pending(input.data(), got);
        bool needsInput = false;
        while (!pending.empty() && !ended && !failed && !needsInput) {
            const auto step = stream.Inflate(pending, output);
            pending = pending.subspan(step.consumed);
            consumed += static_cast<std::int64_t>(step.consumed);
            if (step.produced > 0) {
                const std::span<const std::uint8_t> bytes(output.data(), step.produced);
                crc = updateCrc(crc, bytes);
                produced += static_cast<std::int64_t>(step.produced);
                failed = !out.Write(bytes);
            }
            ended = step.status == zip::InflateStream::Status::StreamEnd;
            failed = failed || step.status == zip::InflateStream::Status::DataError ||
                     step.status == zip::InflateStream::Status::OutOfMemory;
            needsInput = step.status == zip::InflateStream::Status::NeedsInput;
        }
    }
    if (!out.CloseChecked() && !failed)
        failed = true;

    EntryState state =
        ended ? EntryState::Complete : (produced > 0 ? EntryState::Partial : EntryState::Empty);
    Expected expected;
    if (ended) {
        if ((header.flags & DeferredSizesFlag) == 0) {
            expected = {true, header.crc, header.uncompressedSize, 0};
        } else {
            // The data descriptor right after the stream, with or without its signature.
            std::array<std::uint8_t, zip::descriptor::RecordSize> bytes{};
            const std::size_t have = m_file.ReadAt(dataOffset + consumed, bytes).value_or(0);
            const bool signed_ =
                have >= bytes.size() && zip::readLe32(bytes, 0) == zip::DataDescriptorSignature;
            const std::size_t at = signed_ ? 4 : 0;
            if (have >= at + 12)
                expected = {true, *zip::readLe32(bytes, at), *zip::readLe32(bytes, at + 8),
                            static_cast<std::int64_t>(at + 12)};
        }
        if (expected.known && expected.crc == crc &&
            expected.size == static_cast<std::uint32_t>(produced))
            state = EntryState::Intact;
        else
            expected.trailer = 0;
    }
    if (state == EntryState::Empty) {
        (void)platform::DeleteFile(temporary);
        return state;
    }
    // Dated like the archive reader's extracts: the header's DOS time, taken as it stands.
    if (const auto seconds = zip::dosToUnixSeconds({header.dosDate, header.dosTime}))
        (void)platform::SetFileTimes(temporary, {*seconds, 0}, {*seconds, 0});
    if (placeRecovered(temporary, workspacePath, *entry, state, true) && ended)
        m_claimedUntil = std::max(m_claimedUntil, dataOffset + consumed + expected.trailer);
    m_report.entries.push_back(
        {entry->Relative(), headerOffsetOf(header, dataOffset), header.method, state, produced});
    return state;
}

EntryState CFileRepairer::RecoverStoredVerified(const salvage::LocalHeaderRecord& header,
                                                const std::string& name, std::int64_t dataOffset,
                                                const std::string& workspacePath)
{
    const std::int64_t fileSize = m_file.Size().value_or(0);
    const std::int64_t size = header.compressedSize;
    if ((header.flags & DeferredSizesFlag) != 0 ||
        header.compressedSize != header.uncompressedSize || dataOffset < 0 ||
        dataOffset > fileSize || fileSize - dataOffset < size)
        return EntryState::Empty;
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    const std::string folder = WorkspaceFolder();
    if (!entry || entry->IsDirectory() || folder.empty())
        return EntryState::Empty;

    // The CRC-32 is checked before anything is written, so a wrong size costs one read.
    std::vector<std::uint8_t> buffer(ChunkSize);
    std::uint32_t crc = 0;
    for (std::int64_t done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(size - done, static_cast<std::int64_t>(ChunkSize)));
        const std::size_t got =
            m_file.ReadAt(dataOffset + done, std::span(buffer.data(), want)).value_or(0);
        if (got != want)
            return EntryState::Empty;
        crc = updateCrc(crc, std::span(buffer.data(), got));
        done += static_cast<std::int64_t>(got);
    }
    if (crc != header.crc)
        return EntryState::Empty;

    const std::string temporary = folder + std::string(InflatingName);
    (void)platform::DeleteFile(temporary);
    platform::CFile64 out;
    if (!out.Create(temporary, platform::CreateMode::NewOnly))
        return EntryState::Empty;
    bool written = true;
    for (std::int64_t done = 0; written && done < size;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(size - done, static_cast<std::int64_t>(ChunkSize)));
        const std::size_t got =
            m_file.ReadAt(dataOffset + done, std::span(buffer.data(), want)).value_or(0);
        written = got == want && out.Write(std::span(buffer.data(), got));
        done += static_cast<std::int64_t>(got);
    }
    if (!out.CloseChecked() || !written) {
        (void)platform::DeleteFile(temporary);
        return EntryState::Empty;
    }
    if (placeRecovered(temporary, workspacePath, *entry, EntryState::Intact, false))
        m_claimedUntil = std::max(m_claimedUntil, dataOffset + size);
    m_report.entries.push_back({entry->Relative(), headerOffsetOf(header, dataOffset),
                                header.method, EntryState::Intact, size});
    return EntryState::Intact;
}
