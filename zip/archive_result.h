// Result codes of the archive reader and writer handle operations. The values are part of the
// established interface and never change; 0 is success.
#pragma once

#include <cstdint>

namespace zip {

enum ArchiveResult : std::uint32_t
{
    ArchiveOk = 0,
    ArchiveCannotOpenFile = 0x200,
    ArchiveWriteFailed = 0x400,
    ArchiveEntryMismatch = 0x700,
    ArchiveExtraReadFailed = 0x800,
    ArchiveBadArgument = 0x10000,
    ArchiveWrongHandle = 0x80000,
    ArchiveReaderBusy = 0x1000000,
};

} // namespace zip
