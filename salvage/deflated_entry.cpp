// Deflated-entry recovery. The damaged bytes are not inflated in place: the entry's local header
// and data, cut at the next record signature, are copied into the one-entry archive
// "temp12temp.zip" with a central directory and end record of its own, and the archive reader
// extracts it from there. A data descriptor found after the entry supplies the CRC-32 and sizes
// when its compressed size matches the measured one.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "zip/archive_reader.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The temp archive keeps 32-bit offsets and sizes: its data may not grow past the point where
// the central directory (with a name of up to 65535 bytes) and the end record still fit.
constexpr std::int64_t MaxTempArchiveData =
    std::int64_t{0xFFFFFFFF} - static_cast<std::int64_t>(zip::central::HeaderSize) - 0xFFFF -
    static_cast<std::int64_t>(zip::endrecord::RecordSize);

// The fields of the copied local header that a matching data descriptor replaces.
constexpr std::size_t PatchedFieldsSize = 12;

std::vector<std::uint8_t> centralDirectory(const salvage::LocalHeaderRecord& header,
                                           const std::string& name, std::uint32_t crc,
                                           std::uint32_t compressedSize,
                                           std::uint32_t uncompressedSize)
{
    std::vector<std::uint8_t> bytes(zip::central::HeaderSize + header.nameLength);
    const std::span out(bytes);
    zip::writeLe32(out, 0, zip::CentralHeaderSignature);
    zip::writeLe16(out, zip::central::VersionMadeBy, header.versionNeeded);
    zip::writeLe16(out, zip::central::VersionNeeded, header.versionNeeded);
    zip::writeLe16(out, zip::central::Flags, header.flags);
    zip::writeLe16(out, zip::central::Method, header.method);
    zip::writeLe16(out, zip::central::DosTime, header.dosTime);
    zip::writeLe16(out, zip::central::DosDate, header.dosDate);
    zip::writeLe32(out, zip::central::Crc, crc);
    zip::writeLe32(out, zip::central::CompressedSize, compressedSize);
    zip::writeLe32(out, zip::central::UncompressedSize, uncompressedSize);
    zip::writeLe16(out, zip::central::NameLength, header.nameLength);
    // Extra and comment lengths, disk, attributes and the local header offset stay 0: external
    // attributes of 0 make the reader create the file read-only.
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), header.nameLength),
                bytes.begin() + static_cast<std::ptrdiff_t>(zip::central::HeaderSize));
    return bytes;
}

std::array<std::uint8_t, zip::endrecord::RecordSize> endRecord(std::uint32_t directorySize,
                                                               std::uint32_t directoryOffset)
{
    std::array<std::uint8_t, zip::endrecord::RecordSize> bytes{};
    zip::writeLe32(bytes, 0, zip::EndRecordSignature);
    zip::writeLe16(bytes, zip::endrecord::EntriesOnDisk, 1);
    zip::writeLe16(bytes, zip::endrecord::TotalEntries, 1);
    zip::writeLe32(bytes, zip::endrecord::DirectorySize, directorySize);
    zip::writeLe32(bytes, zip::endrecord::DirectoryOffset, directoryOffset);
    return bytes;
}

} // namespace

salvage::DataDescriptorRecord CFileRepairer::ReadDataDescriptorAfter(std::int64_t offset)
{
    const auto next =
        std::upper_bound(m_dataDescriptorOffsets.begin(), m_dataDescriptorOffsets.end(), offset);
    if (next == m_dataDescriptorOffsets.end())
        return {};
    std::array<std::uint8_t, zip::descriptor::RecordSize> bytes{};
    const std::size_t got = m_file.ReadAt(*next, bytes).value_or(0);
    if (got < bytes.size())
        return {}; // a descriptor cut by the end of the file tells nothing
    return {zip::readLe32(bytes, zip::descriptor::Crc).value_or(0),
            zip::readLe32(bytes, zip::descriptor::CompressedSize).value_or(0),
            zip::readLe32(bytes, zip::descriptor::UncompressedSize).value_or(0)};
}

bool CFileRepairer::RecoverDeflatedEntry(const salvage::LocalHeaderRecord& header,
                                         const std::string& name, std::int64_t dataOffset,
                                         const std::string& workspacePath)
{
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    if (!entry)
        return true; // nothing below the workspace to write to: skipped like a failed extract
    if (!CreateParentDirectories(workspacePath, *entry).IsOpen() || entry->IsDirectory())
        return true;

    const std::int64_t headerOffset = dataOffset -
                                      static_cast<std::int64_t>(zip::local::HeaderSize) -
                                      header.nameLength - header.extraLength;
    const std::string folder = WorkspaceFolder();
    if (folder.empty())
        return false;
    const std::string tempArchive = folder + std::string(TempArchiveName);
    // A fresh file rather than a truncated one: file systems flush a file that was truncated
    // and written again when it is closed, which would cost a disk wait per entry.
    (void)platform::DeleteFile(tempArchive); // absent before the first deflated entry
    platform::CFile64 archive;
    if (!archive.Create(tempArchive, platform::CreateMode::NewOnly))
        return false;

    // The copy starts with the entry's own signature, so the search skips its first byte.
    const CopyOutcome copy = copyEntryData(headerOffset, 1, archive, MaxTempArchiveData);
    if (copy.writeFailed || copy.limitReached) {
        (void)archive.CloseChecked(); // the archive is unusable either way
        return false;
    }
    const std::int64_t copied = copy.copied;
    const std::int64_t compressedSize = copied - static_cast<std::int64_t>(zip::local::HeaderSize) -
                                        header.nameLength - header.extraLength;
    if (compressedSize <= 0) {
        // No data: the archive stays without a directory and the reader cannot open it.
        (void)archive.CloseChecked();
        return true;
    }

    const auto measured = static_cast<std::uint32_t>(compressedSize); // bounded by the limit
    std::uint32_t crc = header.crc;
    std::uint32_t uncompressedSize = header.uncompressedSize;
    const auto descriptor = ReadDataDescriptorAfter(dataOffset);
    bool written = true;
    if (descriptor.compressedSize == measured) {
        crc = descriptor.crc;
        uncompressedSize = descriptor.uncompressedSize;
        std::array<std::uint8_t, PatchedFieldsSize> fields{};
        zip::writeLe32(fields, 0, crc);
        zip::writeLe32(fields, 4, measured);
        zip::writeLe32(fields, 8, uncompressedSize);
        written = archive.WriteAt(zip::local::Crc, fields);
    }
    const auto directory = centralDirectory(header, name, crc, measured, uncompressedSize);
    const auto directoryOffset = static_cast<std::uint32_t>(copied); // bounded by the limit
    const auto end = endRecord(static_cast<std::uint32_t>(directory.size()), directoryOffset);
    written = written && archive.WriteAt(copied, directory) &&
              archive.WriteAt(copied + static_cast<std::int64_t>(directory.size()), end);
    if (!archive.CloseChecked() || !written)
        return false;

    auto opened = zip::OpenArchive(tempArchive);
    if (!opened.handle)
        return true;
    zip::ArchiveEntry described;
    if (zip::GetArchiveEntry(opened.handle.get(), described) == zip::ArchiveOk) {
        // The target comes from the confined name, not from the archive's copy of it.
        const std::string target =
            platform::WithTrailingSeparator(workspacePath) + entry->Relative();
        (void)zip::UnzipEntryToFile(opened.handle.get(), target); // a partial file is kept
    }
    (void)zip::CloseArchiveReader(opened.handle);
    return true;
}
