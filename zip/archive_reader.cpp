#include "zip/archive_reader.h"

#include "platform/file64.h"
#include "zip/dos_time.h"
#include "zip/inflate_stream.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zip {

namespace {

// The end record lies within the last 65535 bytes (its comment is at most that long); the
// backward search reads windows that overlap by the length of a signature.
constexpr std::int64_t EndRecordSearchSpan = 65535;
constexpr std::int64_t EndSearchStep = 1024;
constexpr std::size_t EndSearchWindow = EndSearchStep + SignatureSize;

// Names longer than this are cut; salvage never makes longer ones.
constexpr std::size_t MaxNameBytes = 260;

// Compressed data is read, and uncompressed data delivered, in steps of this size.
constexpr std::size_t EntryBufferSize = 16384;

// The "UT" extended-timestamp extra block: a flag byte, then 32-bit UTC seconds counts for the
// modification, access and creation times whose flag bits (0, 1, 2) are set, in that order.
constexpr std::uint16_t ExtendedTimestampTag = 0x5455;
constexpr std::size_t ExtraBlockHeaderSize = 4;
constexpr std::uint8_t TimestampHasModification = 0x01;
constexpr std::uint8_t TimestampHasAccess = 0x02;
constexpr std::uint8_t TimestampHasCreation = 0x04;

// Bits of the external attributes: the DOS attribute byte in the low half, the Unix mode in
// the high half.
constexpr std::uint32_t DosReadOnlyBit = 0x01;
constexpr std::uint32_t DosHiddenBit = 0x02;
constexpr std::uint32_t DosSystemBit = 0x04;
constexpr std::uint32_t DosDirectoryBit = 0x10;
constexpr std::uint32_t DosArchiveBit = 0x20;
constexpr std::uint32_t UnixOwnerWriteBit = 1u << 23;
constexpr std::uint32_t UnixDirectoryBit = 1u << 30;

constexpr unsigned ReadOnlyFileMode = 0444;
constexpr unsigned WritableFileMode = 0666;
constexpr unsigned DirectoryMode = 0777;

// The central-directory record of the current entry, with its name cut at the first zero.
struct CentralRecord
{
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::string name;
};

// The entry being read: compressed bytes come in through the buffer, uncompressed bytes go out
// to the caller.
struct OpenEntryState
{
    std::vector<std::uint8_t> buffer;
    std::optional<InflateStream> inflater; // method 8 only
    std::uint32_t crc = 0;
    std::uint32_t expectedCrc = 0;
    std::uint64_t compressedLeft = 0;
    std::uint64_t uncompressedLeft = 0;
    std::int64_t position = 0; // of the next compressed byte in the file
    std::uint16_t method = 0;
    std::size_t inputStart = 0; // unread bytes of the buffer
    std::size_t inputLength = 0;
    bool ended = false; // no more bytes come out of this entry
    EntryEnd end = EntryEnd::Complete;
};

std::uint32_t attributesFromExternal(std::uint32_t external)
{
    std::uint32_t attributes = AttributeNormal;
    if ((external & UnixDirectoryBit) || (external & DosDirectoryBit))
        attributes = AttributeNormal | AttributeDirectory;
    if (external & DosArchiveBit)
        attributes |= AttributeArchive;
    if (external & DosHiddenBit)
        attributes |= AttributeHidden;
    if (!(external & UnixOwnerWriteBit) || (external & DosReadOnlyBit))
        attributes |= AttributeReadOnly;
    if (external & DosSystemBit)
        attributes |= AttributeSystem;
    return attributes;
}

platform::FileTime now()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return {std::chrono::duration_cast<std::chrono::seconds>(since).count(), 0};
}

// The DOS date and time read as they stand, without any time-zone shift; a date no calendar has
// gives the current time.
platform::FileTime fromDos(std::uint16_t date, std::uint16_t time)
{
    const auto seconds = dosToUnixSeconds({date, time});
    return seconds ? platform::FileTime{*seconds, 0} : now();
}

// Applies the first "UT" block of a local extra field to the entry's times. Only bytes inside
// both the extra field and the block are read.
void applyExtendedTimestamp(std::span<const std::uint8_t> extra, ArchiveEntry& entry)
{
    std::size_t at = 0;
    while (at < extra.size() && extra.size() - at > ExtraBlockHeaderSize) {
        const std::uint16_t tag = readLe16(extra, at).value_or(0);
        const std::uint16_t dataSize = readLe16(extra, at + 2).value_or(0);
        const std::size_t dataStart = at + ExtraBlockHeaderSize;
        if (tag != ExtendedTimestampTag) {
            at = dataStart + dataSize;
            continue;
        }
        const auto data =
            extra.subspan(dataStart, std::min<std::size_t>(dataSize, extra.size() - dataStart));
        if (data.empty())
            return;
        const std::uint8_t flags = data[0];
        std::size_t next = 1;
        auto take = [&](platform::FileTime& time) {
            const auto seconds = readLe32(data, next);
            if (!seconds)
                return false;
            // The count is a signed 32-bit time_t: values above 2^31 lie before 1970.
            time = {static_cast<std::int32_t>(*seconds), 0};
            next += 4;
            return true;
        };
        if ((flags & TimestampHasModification) && !take(entry.writeTime))
            return;
        if ((flags & TimestampHasAccess) && !take(entry.accessTime))
            return;
        if (flags & TimestampHasCreation)
            (void)take(entry.creationTime); // the last one: nothing follows either way
        return;
    }
}

// Paths the reader may create below its root directory: relative, without ".." components.
bool isHarmlessRelative(std::string_view path)
{
    if (path.empty() || path.front() == '/' || path.front() == '\\' ||
        (path.size() > 1 && path[1] == ':'))
        return false;
    return path.find("../") == std::string_view::npos &&
           path.find("..\\") == std::string_view::npos && path != ".." && !path.ends_with("/..");
}

// Creates every missing directory along the first `length` characters of path.
void createDirectoriesAlong(const std::string& path, std::size_t length)
{
    for (std::size_t at = path.find('/', 1); at != std::string::npos && at < length;
         at = path.find('/', at + 1))
        (void)::mkdir(path.substr(0, at).c_str(), DirectoryMode); // an existing one is fine
    if (length == path.size())
        (void)::mkdir(path.c_str(), DirectoryMode);
}

class ReadingHandle final : public ArchiveHandle
{
public:
    ReadingHandle() : ArchiveHandle(ReadingHandleKind) {}

    std::int32_t Open(const std::string& fileName);
    ArchiveResult Describe(ArchiveEntry& entry);
    ArchiveResult Unzip(const std::string& target, UnzipReport* report);
    void Close();

private:
    [[nodiscard]] bool readExact(std::int64_t position, std::span<std::uint8_t> bytes);
    std::int32_t findEndRecord(std::int64_t size, std::int64_t& found);
    std::int32_t readCentralHeader();
    std::int32_t checkLocalHeader();
    std::int32_t openEntry();
    std::int64_t readEntry(std::span<std::uint8_t> out);
    std::int32_t closeEntry();

    platform::CFile64 m_file;
    std::uint16_t m_entryCount = 0;
    std::int64_t m_adjustment = 0; // bytes in front of the archive proper
    std::int64_t m_centralPosition = 0;
    bool m_centralValid = false;
    std::uint32_t m_directorySize = 0;
    std::uint32_t m_directoryOffset = 0;
    CentralRecord m_central;
    std::int64_t m_dataPosition = 0;
    std::int64_t m_localExtraPosition = 0;
    std::uint16_t m_localExtraLength = 0;
    std::optional<OpenEntryState> m_entry;
    std::optional<ArchiveEntry> m_cached;
    std::string m_rootDirectory;
};

bool ReadingHandle::readExact(std::int64_t position, std::span<std::uint8_t> bytes)
{
    const auto got = m_file.ReadAt(position, bytes);
    return got && *got == bytes.size();
}

// Searches the last 65535 bytes backwards for the end record's signature; the hit nearest the
// end of the file wins. A hit at offset 0 counts as none: such a file holds no entry anyway.
std::int32_t ReadingHandle::findEndRecord(std::int64_t size, std::int64_t& found)
{
    const std::int64_t lowest = size - std::min(size, EndRecordSearchSpan);
    std::array<std::uint8_t, EndSearchWindow> window{};
    for (std::int64_t start = size; start > lowest;) {
        start = std::max(lowest, start - EndSearchStep);
        const auto length = static_cast<std::size_t>(
            std::min<std::int64_t>(size - start, static_cast<std::int64_t>(EndSearchWindow)));
        const std::span bytes(window.data(), length);
        if (!readExact(start, bytes))
            return ReaderReadFailed;
        for (std::size_t i = length; i >= SignatureSize; --i) {
            if (readLe32(bytes, i - SignatureSize) == EndRecordSignature) {
                const std::int64_t at = start + static_cast<std::int64_t>(i - SignatureSize);
                if (at == 0)
                    return ReaderReadFailed;
                found = at;
                return ReaderOk;
            }
        }
    }
    return ReaderReadFailed;
}

std::int32_t ReadingHandle::Open(const std::string& fileName)
{
    m_rootDirectory = platform::CurrentDirectory();
    if (!m_file.OpenRead(fileName))
        return static_cast<std::int32_t>(ArchiveCannotOpenFile);
    const auto size = m_file.Size();
    if (!size)
        return ReaderReadFailed;

    std::int64_t endPosition = 0;
    if (const auto result = findEndRecord(*size, endPosition); result != ReaderOk)
        return result;
    std::array<std::uint8_t, endrecord::RecordSize> record{};
    if (!readExact(endPosition, record))
        return ReaderReadFailed;
    const std::uint16_t diskNumber = readLe16(record, endrecord::DiskNumber).value_or(0);
    const std::uint16_t directoryDisk = readLe16(record, endrecord::DirectoryDisk).value_or(0);
    const std::uint16_t entriesOnDisk = readLe16(record, endrecord::EntriesOnDisk).value_or(0);
    m_entryCount = readLe16(record, endrecord::TotalEntries).value_or(0);
    m_directorySize = readLe32(record, endrecord::DirectorySize).value_or(0);
    m_directoryOffset = readLe32(record, endrecord::DirectoryOffset).value_or(0);
    const std::int64_t directoryEnd =
        static_cast<std::int64_t>(m_directoryOffset) + static_cast<std::int64_t>(m_directorySize);
    if (entriesOnDisk != m_entryCount || diskNumber != 0 || directoryDisk != 0 ||
        endPosition < directoryEnd)
        return ReaderBadArchive;

    m_adjustment = endPosition - directoryEnd;
    m_centralPosition = m_directoryOffset;
    m_centralValid = readCentralHeader() == ReaderOk;
    return ReaderOk;
}

std::int32_t ReadingHandle::readCentralHeader()
{
    std::array<std::uint8_t, central::HeaderSize> header{};
    if (!readExact(m_centralPosition + m_adjustment, header))
        return ReaderReadFailed;
    if (readLe32(header, 0) != CentralHeaderSignature)
        return ReaderBadArchive;
    CentralRecord& c = m_central;
    c.versionMadeBy = readLe16(header, central::VersionMadeBy).value_or(0);
    c.versionNeeded = readLe16(header, central::VersionNeeded).value_or(0);
    c.flags = readLe16(header, central::Flags).value_or(0);
    c.method = readLe16(header, central::Method).value_or(0);
    c.dosTime = readLe16(header, central::DosTime).value_or(0);
    c.dosDate = readLe16(header, central::DosDate).value_or(0);
    c.crc = readLe32(header, central::Crc).value_or(0);
    c.compressedSize = readLe32(header, central::CompressedSize).value_or(0);
    c.uncompressedSize = readLe32(header, central::UncompressedSize).value_or(0);
    c.nameLength = readLe16(header, central::NameLength).value_or(0);
    c.extraLength = readLe16(header, central::ExtraLength).value_or(0);
    c.commentLength = readLe16(header, central::CommentLength).value_or(0);
    c.diskNumberStart = readLe16(header, central::DiskNumberStart).value_or(0);
    c.internalAttributes = readLe16(header, central::InternalAttributes).value_or(0);
    c.externalAttributes = readLe32(header, central::ExternalAttributes).value_or(0);
    c.localHeaderOffset = readLe32(header, central::LocalHeaderOffset).value_or(0);

    std::array<std::uint8_t, MaxNameBytes> name{};
    const std::size_t nameBytes = std::min<std::size_t>(c.nameLength, MaxNameBytes);
    if (!readExact(m_centralPosition + m_adjustment +
                       static_cast<std::int64_t>(central::HeaderSize),
                   std::span(name.data(), nameBytes)))
        return ReaderReadFailed;
    const auto end = std::find(name.begin(), name.begin() + nameBytes, std::uint8_t{0});
    c.name.assign(name.begin(), end);
    return ReaderOk;
}

std::int32_t ReadingHandle::checkLocalHeader()
{
    std::array<std::uint8_t, local::HeaderSize> header{};
    const std::int64_t headerPosition =
        static_cast<std::int64_t>(m_central.localHeaderOffset) + m_adjustment;
    if (!readExact(headerPosition, header))
        return ReaderReadFailed;
    if (readLe32(header, 0) != LocalHeaderSignature)
        return ReaderBadArchive;
    const std::uint16_t flags = readLe16(header, local::Flags).value_or(0);
    const std::uint16_t method = readLe16(header, local::Method).value_or(0);
    if (method != m_central.method || (method != MethodStored && method != MethodDeflated))
        return ReaderBadArchive;
    if (!(flags & FlagDataDescriptor) &&
        (readLe32(header, local::Crc) != m_central.crc ||
         readLe32(header, local::CompressedSize) != m_central.compressedSize ||
         readLe32(header, local::UncompressedSize) != m_central.uncompressedSize))
        return ReaderBadArchive;
    const std::uint16_t nameLength = readLe16(header, local::NameLength).value_or(0);
    if (nameLength != m_central.nameLength)
        return ReaderBadArchive;
    m_localExtraLength = readLe16(header, local::ExtraLength).value_or(0);
    m_localExtraPosition =
        headerPosition + static_cast<std::int64_t>(local::HeaderSize) + nameLength;
    m_dataPosition = m_localExtraPosition + m_localExtraLength;
    return ReaderOk;
}

ArchiveResult ReadingHandle::Describe(ArchiveEntry& entry)
{
    if (m_entryCount == 0)
        return ArchiveBadArgument;
    (void)closeEntry(); // describing does not read data; a CRC verdict is of no use here
    if (m_cached) {
        entry = *m_cached;
        return ArchiveOk;
    }
    m_centralPosition = m_directoryOffset;
    m_centralValid = readCentralHeader() == ReaderOk;
    if (!m_centralValid || checkLocalHeader() != ReaderOk)
        return ArchiveEntryMismatch;
    std::vector<std::uint8_t> extra(m_localExtraLength); // at most 65535 bytes
    if (!readExact(m_localExtraPosition, extra))
        return ArchiveExtraReadFailed;

    ArchiveEntry described;
    described.index = 0;
    described.name = m_central.name;
    described.attributes = attributesFromExternal(m_central.externalAttributes);
    described.writeTime = fromDos(m_central.dosDate, m_central.dosTime);
    described.accessTime = described.writeTime;
    described.creationTime = described.writeTime;
    described.compressedSize = m_central.compressedSize;
    described.uncompressedSize = m_central.uncompressedSize;
    applyExtendedTimestamp(extra, described);
    m_cached = described;
    entry = std::move(described);
    return ArchiveOk;
}

std::int32_t ReadingHandle::openEntry()
{
    (void)closeEntry();
    if (!m_centralValid)
        return ReaderNoEntry;
    if (const auto result = checkLocalHeader(); result != ReaderOk)
        return result == ReaderReadFailed ? ReaderReadFailed : ReaderBadArchive;
    try {
        OpenEntryState state;
        state.buffer.resize(EntryBufferSize);
        if (m_central.method == MethodDeflated) {
            state.inflater.emplace();
            if (!state.inflater->IsValid())
                return ReaderOutOfMemory;
        }
        state.expectedCrc = m_central.crc;
        state.compressedLeft = m_central.compressedSize;
        state.uncompressedLeft = m_central.uncompressedSize;
        state.position = m_dataPosition;
        state.method = m_central.method;
        m_entry = std::move(state);
    } catch (const std::bad_alloc&) {
        return ReaderOutOfMemory;
    }
    return ReaderOk;
}

// Delivers up to out.size() uncompressed bytes, never more than the central directory
// announces. Returns the count (0 once the entry has ended), ReaderNoEntry without an open
// entry, or ReaderReadFailed when the compressed bytes cannot be read.
std::int64_t ReadingHandle::readEntry(std::span<std::uint8_t> out)
{
    if (!m_entry)
        return ReaderNoEntry;
    OpenEntryState& e = *m_entry;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), e.uncompressedLeft));
    std::size_t delivered = 0;
    while (delivered < want && !e.ended) {
        if (e.inputLength == 0 && e.compressedLeft > 0) {
            const auto chunk = static_cast<std::size_t>(
                std::min<std::uint64_t>(e.buffer.size(), e.compressedLeft));
            if (!readExact(e.position, std::span(e.buffer.data(), chunk)))
                return ReaderReadFailed;
            e.position += static_cast<std::int64_t>(chunk);
            e.compressedLeft -= chunk;
            e.inputStart = 0;
            e.inputLength = chunk;
        }
        const auto input =
            std::span<const std::uint8_t>(e.buffer).subspan(e.inputStart, e.inputLength);
        const auto room = out.subspan(delivered, want - delivered);
        if (e.method == MethodStored) {
            if (input.empty()) {
                e.ended = true;
                e.end = EntryEnd::InputRanOut;
                break;
            }
            const std::size_t count = std::min(input.size(), room.size());
            std::copy_n(input.begin(), count, room.begin());
            e.inputStart += count;
            e.inputLength -= count;
            delivered += count;
            continue;
        }
        const auto step = e.inflater->Inflate(input, room);
        e.inputStart += step.consumed;
        e.inputLength -= step.consumed;
        delivered += step.produced;
        switch (step.status) {
        case InflateStream::Status::Progress:
            break;
        case InflateStream::Status::StreamEnd:
            e.ended = true;
            e.end = EntryEnd::Complete;
            break;
        case InflateStream::Status::NeedsInput:
            if (e.inputLength == 0 && e.compressedLeft == 0) {
                e.ended = true;
                e.end = EntryEnd::InputRanOut;
            } else if (e.inputLength > 0) {
                // zlib made no progress with input and room to spare: asking again would
                // only repeat that, so the stream counts as damaged.
                e.ended = true;
                e.end = EntryEnd::DataError;
            }
            break;
        case InflateStream::Status::DataError:
        case InflateStream::Status::OutOfMemory:
            e.ended = true;
            e.end = EntryEnd::DataError;
            break;
        }
    }
    if (delivered > 0) {
        e.crc = static_cast<std::uint32_t>(
            crc32(e.crc, out.data(), static_cast<uInt>(delivered))); // delivered <= 16384 here
        e.uncompressedLeft -= delivered;
    }
    return static_cast<std::int64_t>(delivered);
}

// Releases the open entry. Returns ReaderCrcMismatch when every announced byte was delivered
// and their CRC-32 differs from the central directory's, ReaderOk otherwise.
std::int32_t ReadingHandle::closeEntry()
{
    if (!m_entry)
        return ReaderOk;
    const bool mismatch = m_entry->uncompressedLeft == 0 && m_entry->crc != m_entry->expectedCrc;
    m_entry.reset();
    return mismatch ? ReaderCrcMismatch : ReaderOk;
}

ArchiveResult ReadingHandle::Unzip(const std::string& target, UnzipReport* report)
{
    (void)closeEntry(); // an entry left open by an earlier call has nothing to report
    if (m_entryCount == 0)
        return ArchiveBadArgument;
    ArchiveEntry entry;
    if (const auto result = Describe(entry); result != ArchiveOk)
        return result;

    if (entry.attributes & AttributeDirectory) {
        if (isHarmlessRelative(entry.name) && !m_rootDirectory.empty()) {
            const std::string directory = m_rootDirectory + entry.name;
            createDirectoriesAlong(directory, directory.size());
        }
        return ArchiveOk;
    }
    const auto lastSeparator = target.find_last_of("/\\");
    if (lastSeparator != std::string::npos && isHarmlessRelative(target) &&
        !m_rootDirectory.empty()) {
        const std::string path = m_rootDirectory + target;
        createDirectoriesAlong(path, m_rootDirectory.size() + lastSeparator);
    }

    // A read-only file (an earlier extraction) is never replaced; neither is anything that is
    // not a regular file, and a link in the last place is not followed.
    struct stat existing = {};
    if (::lstat(target.c_str(), &existing) == 0 &&
        (!S_ISREG(existing.st_mode) || !(existing.st_mode & S_IWUSR)))
        return ArchiveCannotOpenFile;
    const bool readOnly = (entry.attributes & AttributeReadOnly) != 0;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          readOnly ? ReadOnlyFileMode : WritableFileMode);
    if (fd < 0)
        return ArchiveCannotOpenFile;
    platform::CFile64 out;
    out.m_hFile = fd;
    if (readOnly) {
        struct stat created = {};
        if (::fstat(fd, &created) == 0) // a replaced file keeps its mode unless told here
            (void)::fchmod(fd, created.st_mode & ~static_cast<mode_t>(0222));
    }

    (void)openEntry(); // without an open entry the first read fails and ends the loop
    std::vector<std::uint8_t> buffer(EntryBufferSize);
    bool failed = false;
    std::uint64_t written = 0;
    for (;;) {
        const std::int64_t got = readEntry(buffer);
        if (got < 0) {
            failed = true;
            break;
        }
        if (got == 0)
            break;
        if (!out.Write(std::span(buffer.data(), static_cast<std::size_t>(got)))) {
            failed = true;
            break;
        }
        written += static_cast<std::uint64_t>(got);
    }
    if (!failed) {
        const struct timespec times[2] = {{static_cast<time_t>(entry.accessTime.seconds), 0},
                                          {static_cast<time_t>(entry.writeTime.seconds), 0}};
        (void)::futimens(out.Descriptor(), times); // the creation time has no setter here
    }
    if (!out.CloseChecked())
        failed = true;
    const EntryEnd end = m_entry ? m_entry->end : EntryEnd::InputRanOut;
    const std::int32_t closeResult = closeEntry();
    if (report) {
        report->end = end;
        report->closeResult = closeResult;
        report->bytesWritten = written;
    }
    return failed ? ArchiveWriteFailed : ArchiveOk;
}

void ReadingHandle::Close()
{
    (void)closeEntry();
    m_file.Close();
}

ReadingHandle* readingHandle(ArchiveHandle* handle)
{
    return handle && handle->kind() == ReadingHandleKind ? static_cast<ReadingHandle*>(handle)
                                                         : nullptr;
}

} // namespace

OpenArchiveResult OpenArchive(const std::string& fileName)
{
    OpenArchiveResult opened;
    auto handle = std::make_unique<ReadingHandle>();
    opened.result = handle->Open(fileName);
    if (opened.result == ArchiveOk)
        opened.handle = std::move(handle);
    return opened;
}

ArchiveResult GetArchiveEntry(ArchiveHandle* handle, ArchiveEntry& entry)
{
    if (!handle)
        return ArchiveBadArgument;
    auto* reader = readingHandle(handle);
    return reader ? reader->Describe(entry) : ArchiveWrongHandle;
}

ArchiveResult UnzipEntryToFile(ArchiveHandle* handle, const std::string& target,
                               UnzipReport* report)
{
    if (!handle)
        return ArchiveBadArgument;
    auto* reader = readingHandle(handle);
    return reader ? reader->Unzip(target, report) : ArchiveWrongHandle;
}

ArchiveResult CloseArchiveReader(ArchiveHandlePtr& handle)
{
    if (!handle)
        return ArchiveBadArgument;
    auto* reader = readingHandle(handle.get());
    if (!reader)
        return ArchiveWrongHandle;
    reader->Close();
    handle.reset();
    return ArchiveOk;
}

} // namespace zip
