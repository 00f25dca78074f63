// Stored-entry recovery, and the pieces the deflated recovery shares with it: the entry's
// directories in the workspace tree and the copy of its bytes up to the next record signature.
// No size field of the header is trusted; the data ends where the next record begins.
#include "engine/file_repairer.h"
#include "zip/record_layout.h"

#include <algorithm>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t CopyChunkSize = 65536;
// A signature that starts in the last three bytes of a chunk ends in the next one.
constexpr std::size_t SignatureCarry = zip::SignatureSize - 1;
constexpr unsigned EntryFileMode = 0666;

} // namespace

salvage::DirectoryHandle CFileRepairer::CreateParentDirectories(const std::string& workspacePath,
                                                                const salvage::EntryPath& entry)
{
    auto directory = salvage::DirectoryHandle::OpenWorkspace(workspacePath);
    for (const auto& component : entry.directories) {
        if (!directory.IsOpen())
            break;
        directory = directory.OpenChild(component);
    }
    return directory;
}

CFileRepairer::CopyOutcome CFileRepairer::copyEntryData(std::int64_t from, std::size_t firstStart,
                                                        platform::CFile64& out, std::int64_t limit)
{
    CopyOutcome outcome;
    const std::int64_t size = m_file.Size().value_or(0);
    std::vector<std::uint8_t> buffer(CopyChunkSize);
    std::size_t start = firstStart;
    for (std::int64_t at = from; at >= 0 && at < size;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::int64_t>(size - at, CopyChunkSize));
        // A failed read counts as the end of the file.
        const std::size_t got = m_file.ReadAt(at, std::span(buffer.data(), want)).value_or(0);
        if (got == 0)
            break;
        std::size_t length = got;
        const bool found = FindNextSignature(std::span(buffer.data(), got), start, length);
        const bool lastChunk = got < want || size - at <= static_cast<std::int64_t>(got);
        if (!found && !lastChunk)
            length -= SignatureCarry; // read again at the start of the next chunk
        if (limit - outcome.copied < static_cast<std::int64_t>(length)) {
            length = static_cast<std::size_t>(limit - outcome.copied);
            outcome.limitReached = true;
        }
        if (length > 0 && !out.Write(std::span(buffer.data(), length))) {
            outcome.writeFailed = true; // a full disk: what was written stays
            break;
        }
        outcome.copied += static_cast<std::int64_t>(length);
        if (outcome.limitReached)
            break;
        if (found)
            break;
        at += static_cast<std::int64_t>(length);
        start = 0;
    }
    return outcome;
}

bool CFileRepairer::RecoverStoredEntry(const std::string& name, std::int64_t dataOffset,
                                       const std::string& workspacePath)
{
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    if (!entry)
        return false;
    const auto directory = CreateParentDirectories(workspacePath, *entry);
    if (!directory.IsOpen() || entry->IsDirectory())
        return false; // a directory entry ends here, with its directory made

    // A later copy of a name replaces an earlier stored one, but not a read-only extract of a
    // deflated one, nor anything that is not a regular file.
    const char* const fileName = entry->fileName.c_str();
    struct stat existing = {};
    if (::fstatat(directory.Descriptor(), fileName, &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        (!S_ISREG(existing.st_mode) || !(existing.st_mode & S_IWUSR)))
        return false;
    platform::CFile64 target;
    target.m_hFile = ::openat(directory.Descriptor(), fileName,
                              O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, EntryFileMode);
    if (!target.IsOpen())
        return false;

    (void)copyEntryData(dataOffset, 0, target, std::numeric_limits<std::int64_t>::max());
    (void)target.CloseChecked(); // a late write error leaves what the file holds; nothing to undo
    return true;
}
