// The ZIP archive writer: packs files from disk into a new archive, one entry per file, stored
// or deflated (zlib, level 8) by the suffix of the entry name. Each local header is rewritten in
// place once its data is written, so the archive has no data descriptors and no ZIP64 records.
// An archive that cannot be finished completely is removed: a caller never finds half of one.
#pragma once

#include "zip/archive_handle.h"
#include "zip/archive_result.h"

#include <string>

namespace zip {

// Creates the archive file (an existing file is truncated; a link there is refused) and returns
// a writing handle (kind 2) that owns it. Null when the file cannot be created.
[[nodiscard]] ArchiveHandlePtr CreateArchive(const std::string& archivePath);

// Adds the file at sourcePath as entryName (stored or deflated as method says); backslashes in the name become forward slashes.
// Returns ArchiveOk; ArchiveBadArgument for no handle or a name that is empty or longer than
// 65535 bytes; ArchiveWrongHandle for a reading handle; ArchiveCannotOpenFile when the source
// cannot be opened or described (nothing is written and further files can still be added);
// ArchiveWriteFailed when a write fails or the entry does not fit the format's 32-bit fields
// (a source of 4 GiB or more, an archive reaching 4 GiB, more than 65534 entries). After a
// write failure the archive is broken: every later call fails and FinishArchive removes it.
// How an entry's data is written: by the suffix of its name (archives and compressed files
// are stored, everything else deflated), or stored whatever its name.
enum class EntryMethod
{
    BySuffix,
    Stored,
};

[[nodiscard]] ArchiveResult AddFileToArchive(ArchiveHandle* handle, const std::string& entryName,
                                             const std::string& sourcePath,
                                             EntryMethod method = EntryMethod::BySuffix);

// Writes the central directory and the end record, closes the archive and releases the handle.
// Returns ArchiveOk when the archive is complete on disk; ArchiveWriteFailed when any write or
// the close failed, in which case the archive file has been removed; ArchiveBadArgument for no
// handle; ArchiveWrongHandle for a reading handle (which is released all the same).
[[nodiscard]] ArchiveResult FinishArchive(ArchiveHandlePtr handle);

} // namespace zip
