// The archive reader: a small reader for well-formed ZIP files that describes and extracts the
// first entry only. Salvage uses it on the one-entry archive it rebuilds for each deflated
// entry. The entry's local header must agree with its central-directory record; its data is
// read and inflated in 16384-byte steps and never held whole in memory. Files it extracts are
// read-only unless the entry's external attributes say otherwise.
#pragma once

#include "platform/file_system.h"
#include "zip/archive_handle.h"
#include "zip/archive_result.h"

#include <cstdint>
#include <string>

namespace zip {

// Results inside the reader, as the handle operations hand them on; 0 is success.
enum ReaderResult : std::int32_t
{
    ReaderOk = 0,
    ReaderReadFailed = -1, // a read or seek failed, or no end record was found
    ReaderNoMoreEntries = -100,
    ReaderNoEntry = -102,    // no archive, no current entry or no open entry
    ReaderBadArchive = -103, // a wrong signature, an inconsistent end record, a local header
                             // that does not match its central-directory record
    ReaderOutOfMemory = -104,
    ReaderCrcMismatch = -105, // every byte was delivered but the CRC-32 differs
};

// Windows-style file attributes, as the entry record carries them.
inline constexpr std::uint32_t AttributeReadOnly = 0x01;
inline constexpr std::uint32_t AttributeHidden = 0x02;
inline constexpr std::uint32_t AttributeSystem = 0x04;
inline constexpr std::uint32_t AttributeDirectory = 0x10;
inline constexpr std::uint32_t AttributeArchive = 0x20;
inline constexpr std::uint32_t AttributeNormal = 0x80;

// The first entry of an open archive, as GetArchiveEntry describes it.
struct ArchiveEntry
{
    std::int32_t index = 0;
    std::string name; // the central-directory name bytes, up to the first zero byte
    std::uint32_t attributes = 0;
    platform::FileTime accessTime;
    platform::FileTime creationTime;
    platform::FileTime writeTime;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
};

// How the data of an extracted entry ended.
enum class EntryEnd
{
    Complete,    // every announced byte was delivered (stored) or the deflate stream ended
    InputRanOut, // the compressed bytes ended before the stream or the announced size did
    DataError,   // the deflate data is damaged; the bytes before the damage were delivered
};

// What UnzipEntryToFile learnt besides its result code; a damaged entry is not an error there.
struct UnzipReport
{
    EntryEnd end = EntryEnd::Complete;
    std::int32_t closeResult = ReaderOk; // ReaderCrcMismatch when the delivered data is wrong
    std::uint64_t bytesWritten = 0;
};

struct OpenArchiveResult
{
    ArchiveHandlePtr handle; // a reading handle on success, empty otherwise
    // ArchiveOk; ArchiveCannotOpenFile when the file cannot be opened; ReaderReadFailed when no
    // end record is found or a read fails; ReaderBadArchive for an inconsistent end record.
    std::int32_t result = ArchiveOk;
};

// Opens fileName read-only, reads its end record and positions on the first entry.
[[nodiscard]] OpenArchiveResult OpenArchive(const std::string& fileName);

// Describes entry 0. Returns ArchiveOk; ArchiveBadArgument for no handle or an archive without
// entries; ArchiveWrongHandle for a writing handle; ArchiveEntryMismatch when the local header
// cannot be read or disagrees with the central directory; ArchiveExtraReadFailed when the local
// extra field cannot be read.
[[nodiscard]] ArchiveResult GetArchiveEntry(ArchiveHandle* handle, ArchiveEntry& entry);

// Extracts entry 0 into target (created anew, never through a symbolic link; an existing
// read-only file is not replaced). Returns ArchiveOk also when the data ends early or is
// damaged (see report); the errors of GetArchiveEntry; ArchiveCannotOpenFile when the target
// cannot be created; ArchiveWriteFailed when reading the archive or writing the target fails,
// in which case the bytes written so far stay in the target.
[[nodiscard]] ArchiveResult UnzipEntryToFile(ArchiveHandle* handle, const std::string& target,
                                             UnzipReport* report = nullptr);

// Closes the archive and frees the handle, which is then empty. Returns ArchiveOk,
// ArchiveBadArgument for no handle, ArchiveWrongHandle (handle kept) for a writing handle.
[[nodiscard]] ArchiveResult CloseArchiveReader(ArchiveHandlePtr& handle);

} // namespace zip
