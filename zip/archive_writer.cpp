// Writes a ZIP archive in one forward pass: local header (provisional), data, then a short seek
// back to rewrite the header with the final CRC-32 and sizes. Times follow the established
// rules: the DOS stamp is the file time shifted by the current local-minus-UTC offset, and the
// "UT" extra field holds that shifted time read back as local standard time.
#include "zip/archive_writer.h"

#include "platform/file64.h"
#include "platform/file_system.h"
#include "zip/dos_time.h"
#include "zip/le_bytes.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <optional>
#include <span>
#include <vector>

namespace zip {

namespace {

constexpr std::size_t DataBufferSize = 16384;

constexpr std::uint16_t VersionMadeBy = 0x0B17;
constexpr std::uint16_t VersionNeeded = 20;
constexpr std::uint16_t MethodStored = 0;
constexpr std::uint16_t MethodDeflated = 8;
// Bit 3 announces a data descriptor; it is set only while an entry's data is being written,
// and cleared when the header is rewritten with the real values.
constexpr std::uint16_t FlagSizesFollow = 0x0008;
// Bit 1 with method 8 marks the slow, thorough compression levels; the writer always uses 8.
constexpr std::uint16_t FlagThoroughDeflate = 0x0002;

constexpr int DeflateLevel = 8;
constexpr int DeflateWindowBits = -15; // raw deflate: no zlib or gzip wrapper
constexpr int DeflateMemoryLevel = 8;

// Local file header (30 bytes, then name and extra field).
constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t LocalVersionNeededAt = 4;
constexpr std::size_t LocalFlagsAt = 6;
constexpr std::size_t LocalMethodAt = 8;
constexpr std::size_t LocalDosStampAt = 10;
constexpr std::size_t LocalCrcAt = 14;
constexpr std::size_t LocalCompressedSizeAt = 18;
constexpr std::size_t LocalUncompressedSizeAt = 22;
constexpr std::size_t LocalNameLengthAt = 26;
constexpr std::size_t LocalExtraLengthAt = 28;

// Central directory header (46 bytes, then name, extra field and comment).
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t CentralVersionMadeByAt = 4;
constexpr std::size_t CentralVersionNeededAt = 6;
constexpr std::size_t CentralFlagsAt = 8;
constexpr std::size_t CentralMethodAt = 10;
constexpr std::size_t CentralDosStampAt = 12;
constexpr std::size_t CentralCrcAt = 16;
constexpr std::size_t CentralCompressedSizeAt = 20;
constexpr std::size_t CentralUncompressedSizeAt = 24;
constexpr std::size_t CentralNameLengthAt = 28;
constexpr std::size_t CentralExtraLengthAt = 30;
constexpr std::size_t CentralCommentLengthAt = 32;
constexpr std::size_t CentralDiskStartAt = 34;
constexpr std::size_t CentralInternalAttributesAt = 36;
constexpr std::size_t CentralExternalAttributesAt = 38;
constexpr std::size_t CentralLocalOffsetAt = 42;

// End of central directory record (22 bytes, no comment).
constexpr std::size_t EndRecordSize = 22;
constexpr std::size_t EndDiskAt = 4;
constexpr std::size_t EndDirectoryDiskAt = 6;
constexpr std::size_t EndEntriesOnDiskAt = 8;
constexpr std::size_t EndEntriesTotalAt = 10;
constexpr std::size_t EndDirectorySizeAt = 12;
constexpr std::size_t EndDirectoryOffsetAt = 16;
constexpr std::size_t EndCommentLengthAt = 20;

// Extended time stamp ("UT"): the local form carries modification, access and creation time,
// the central form only the modification time, both with flags 7.
constexpr std::uint16_t ExtendedTimestampTag = 0x5455;
constexpr std::uint8_t ExtendedTimestampFlags = 7;
constexpr std::size_t LocalExtraSize = 17;
constexpr std::size_t CentralExtraSize = 9;
using LocalExtra = std::array<std::uint8_t, LocalExtraSize>;
using CentralExtra = std::array<std::uint8_t, CentralExtraSize>;

// The all-ones values of the 16- and 32-bit fields announce ZIP64 records to readers, and this
// writer makes none; so no size, offset or count may reach them. Anything larger is refused.
constexpr std::uint64_t MaxField32 = 0xFFFFFFFEu;
constexpr std::size_t MaxEntries = 0xFFFEu;
constexpr std::size_t MaxNameLength = 0xFFFFu;

// Windows attribute bits as the external attributes' low byte carries them, and the upper bits
// that mark a regular file and the owner's read, write and execute permission.
constexpr std::uint32_t AttributeReadOnly = 0x01;
constexpr std::uint32_t AttributeArchive = 0x20;
constexpr std::uint32_t AttributeMask = 0x37;
constexpr std::uint32_t ExternalRegularFile = 0x80000000u;
constexpr std::uint32_t ExternalOwnerRead = 0x01000000u;
constexpr std::uint32_t ExternalOwnerWrite = 0x00800000u;
constexpr std::uint32_t ExternalOwnerExecute = 0x00400000u;

// The executable probe: an "MZ" stub whose new-header offset (at 0x3C) points at a header
// signature well inside the file.
constexpr std::int64_t ExecutableMinimumSize = 40;
constexpr std::uint16_t DosStubSignature = 0x5A4D; // "MZ"
constexpr std::int64_t NewHeaderOffsetAt = 0x3C;
constexpr std::int64_t NewHeaderMargin = 52;
constexpr std::array<std::uint32_t, 4> NewHeaderSignatures = {0x5A4D, 0x454E, 0x454C, 0x4550};

constexpr std::array<std::string_view, 8> StoredSuffixes = {".Z",   ".zip", ".zoo", ".arc",
                                                            ".lzh", ".arj", ".gz",  ".tgz"};

constexpr int UnixEpochYear = 1970;
constexpr int LastTimestampYear = 2037;

struct EntryRecord
{
    std::uint16_t versionMadeBy = VersionMadeBy;
    std::uint16_t versionNeeded = VersionNeeded;
    std::uint16_t generalFlags = 0;
    std::uint16_t method = MethodDeflated;
    std::uint32_t dosStamp = 0; // date in the high half, time in the low half
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint16_t localFlags = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    CentralExtra centralExtra{};
    std::string name; // forward slashes, no terminator
};

// What ReadSourceInfo learns about the current source.
struct SourceInfo
{
    std::int64_t size = 0;
    std::uint32_t externalAttributes = 0;
    std::int64_t accessTime = 0; // seconds, as FileTimeToUnixTime gives them
    std::int64_t modificationTime = 0;
    std::int64_t creationTime = 0;
    std::uint32_t dosStamp = 0;
};

// One raw-deflate codec state, released on every way out. Not movable: zlib's internal state
// points back at the z_stream it was initialised in.
class DeflateStream
{
public:
    DeflateStream()
    {
        m_ready = deflateInit2(&m_stream, DeflateLevel, Z_DEFLATED, DeflateWindowBits,
                               DeflateMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~DeflateStream()
    {
        if (m_ready)
            (void)deflateEnd(&m_stream); // Z_DATA_ERROR here only says the stream was unfinished
    }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    z_stream& stream() { return m_stream; }

private:
    z_stream m_stream = {};
    bool m_ready = false;
};

// True when the name ends in one of the archive suffixes, letter case ignored. The suffix runs
// from the last full stop to the end of the name, directory part included, so "dir.zip/file"
// has the suffix ".zip/file"; a full stop in the first place counts only when there is no other.
bool HasStoredSuffix(std::string_view name)
{
    if (name.empty())
        return false;
    std::size_t dot = name.size();
    for (std::size_t at = name.size() - 1; at >= 1; --at) {
        if (name[at] == '.') {
            dot = at;
            break;
        }
    }
    if (dot == name.size()) {
        if (name.front() != '.')
            return false;
        dot = 0;
    }
    const std::string_view suffix = name.substr(dot);
    auto equalsIgnoringCase = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   auto lower = [](char c) {
                       return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                   };
                   return lower(x) == lower(y);
               });
    };
    return std::any_of(StoredSuffixes.begin(), StoredSuffixes.end(),
                       [&](std::string_view stored) { return equalsIgnoringCase(suffix, stored); });
}

// The calendar fields of a shifted file time (seconds whose UTC fields are the local wall
// clock), with the date held to 1970-01-01 ... 2037-12-31 and the time of day kept, read as
// local standard time (daylight saving off). standardOffset is local standard time minus UTC.
std::int64_t FileTimeToUnixTime(std::int64_t shiftedSeconds, std::int64_t standardOffset)
{
    using namespace std::chrono;
    const sys_seconds at{seconds(shiftedSeconds)};
    const auto day = floor<days>(at);
    const auto timeOfDay = at - day;
    year_month_day date{day};
    if (date.year() < year(UnixEpochYear))
        date = year(UnixEpochYear) / January / 1;
    else if (date.year() > year(LastTimestampYear))
        date = year(LastTimestampYear) / December / 31;
    const auto fields = sys_days(date) + timeOfDay;
    return static_cast<std::int64_t>(fields.time_since_epoch().count()) - standardOffset;
}

// Local time minus UTC, now, daylight saving included when it is in force.
std::int64_t currentLocalOffset()
{
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    if (localtime_r(&now, &local) == nullptr)
        return 0;
    return static_cast<std::int64_t>(local.tm_gmtoff);
}

LocalExtra buildLocalExtra(const SourceInfo& info)
{
    LocalExtra extra{};
    writeLe16(extra, 0, ExtendedTimestampTag);
    writeLe16(extra, 2, static_cast<std::uint16_t>(LocalExtraSize - 4));
    extra[4] = ExtendedTimestampFlags;
    // Only the low 32 bits are kept; the clamp to 2037 keeps every value inside them.
    writeLe32(extra, 5, static_cast<std::uint32_t>(info.modificationTime));
    writeLe32(extra, 9, static_cast<std::uint32_t>(info.accessTime));
    writeLe32(extra, 13, static_cast<std::uint32_t>(info.creationTime));
    return extra;
}

CentralExtra buildCentralExtra(const SourceInfo& info)
{
    CentralExtra extra{};
    writeLe16(extra, 0, ExtendedTimestampTag);
    writeLe16(extra, 2, static_cast<std::uint16_t>(CentralExtraSize - 4));
    extra[4] = ExtendedTimestampFlags; // 7 although only the modification time follows
    writeLe32(extra, 5, static_cast<std::uint32_t>(info.modificationTime));
    return extra;
}

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The state of one archive being written. Owned by its handle; removes its file unless
// Finish has reported a complete archive.
class ArchiveWriter
{
public:
    ArchiveWriter() = default;
    ~ArchiveWriter()
    {
        if (!m_complete)
            discard();
    }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    [[nodiscard]] bool Open(const std::string& path)
    {
        // The local standard offset that FileTimeToUnixTime reads the shifted times with.
        tzset();
        m_standardOffset = -static_cast<std::int64_t>(timezone);
        if (!m_output.Create(path, platform::CreateMode::Truncate))
            return false;
        m_path = path;
        return true;
    }

    [[nodiscard]] ArchiveResult AddFile(const std::string& entryName,
                                        const std::string& sourcePath, EntryMethod choice);
    [[nodiscard]] ArchiveResult Finish();

private:
    [[nodiscard]] std::optional<SourceInfo> ReadSourceInfo(const std::string& sourcePath);
    [[nodiscard]] bool isExecutable(std::int64_t size);
    [[nodiscard]] std::size_t ReadSource(std::span<std::uint8_t> buffer);
    [[nodiscard]] bool StoreData();
    [[nodiscard]] bool DeflateData(EntryRecord& record);
    [[nodiscard]] std::size_t WriteOutput(std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool SeekOutput(std::uint64_t position);
    [[nodiscard]] bool WriteLocalHeader(const EntryRecord& record, const LocalExtra& extra);
    [[nodiscard]] ArchiveResult WriteCentralDirectory();
    [[nodiscard]] bool WriteCentralHeader(const EntryRecord& record);
    [[nodiscard]] bool WriteEndRecord(std::size_t count, std::uint64_t size, std::uint64_t offset);

    // Marks the archive broken: its bytes no longer match what the records say.
    ArchiveResult fail()
    {
        m_failed = true;
        m_source.Close();
        return ArchiveWriteFailed;
    }
    void discard()
    {
        m_output.Close();
        if (!m_path.empty())
            (void)platform::DeleteFile(m_path); // ours, made by Open; nothing else has the name
        m_path.clear();
    }

    platform::CFile64 m_output;
    std::string m_path;
    std::uint64_t m_bytesWritten = 0;   // where the next local header goes
    std::uint64_t m_outputPosition = 0; // the archive file's pointer
    bool m_centralDirectoryWritten = false;
    bool m_failed = false;
    bool m_complete = false;
    std::vector<EntryRecord> m_entries; // in order of adding
    std::int64_t m_standardOffset = 0;

    // The current source.
    platform::CFile64 m_source;
    std::uint64_t m_bytesRead = 0;
    std::uint32_t m_crc = 0;
    std::uint64_t m_compressedSize = 0;

    std::array<std::uint8_t, DataBufferSize> m_dataBuffer{};  // stored data, codec output
    std::array<std::uint8_t, DataBufferSize> m_inputBuffer{}; // codec input
};

ArchiveResult ArchiveWriter::AddFile(const std::string& entryName, const std::string& sourcePath,
                                     EntryMethod choice)
{
    if (m_failed)
        return ArchiveWriteFailed;
    if (entryName.empty() || entryName.size() > MaxNameLength)
        return ArchiveBadArgument;
    std::string name = entryName;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (m_entries.size() >= MaxEntries)
        return fail(); // the end record's counts cannot hold another entry
    const std::uint16_t method = choice == EntryMethod::Stored || HasStoredSuffix(name)
                                     ? MethodStored
                                     : MethodDeflated;

    m_bytesRead = 0;
    m_crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    m_compressedSize = 0;
    if (!m_source.OpenRead(sourcePath))
        return ArchiveCannotOpenFile;
    const auto info = ReadSourceInfo(sourcePath);
    if (!info || !m_source.Seek(0)) {
        m_source.Close();
        return ArchiveCannotOpenFile;
    }
    if (static_cast<std::uint64_t>(info->size) > MaxField32)
        return fail(); // no 32-bit size field can describe it

    EntryRecord record;
    record.generalFlags = FlagSizesFollow;
    record.localFlags = FlagSizesFollow;
    record.method = method;
    record.dosStamp = info->dosStamp;
    record.compressedSize = method == MethodStored
                                ? static_cast<std::uint32_t>(std::max<std::int64_t>(info->size, 0))
                                : 0;
    record.uncompressedSize = static_cast<std::uint32_t>(info->size);
    record.externalAttributes = info->externalAttributes;
    record.localHeaderOffset = static_cast<std::uint32_t>(m_bytesWritten);
    record.centralExtra = buildCentralExtra(*info);
    record.name = std::move(name);
    const LocalExtra localExtra = buildLocalExtra(*info);

    if (!WriteLocalHeader(record, localExtra))
        return fail();
    m_bytesWritten += LocalHeaderSize + record.name.size() + LocalExtraSize;

    const bool dataWritten = method == MethodDeflated ? DeflateData(record) : StoreData();
    m_source.Close();
    m_bytesWritten += m_compressedSize;
    if (!dataWritten)
        return fail();

    record.compressedSize = static_cast<std::uint32_t>(m_compressedSize);
    record.crc = m_crc;
    record.uncompressedSize = static_cast<std::uint32_t>(m_bytesRead);
    record.generalFlags = static_cast<std::uint16_t>(record.generalFlags & ~FlagSizesFollow);
    record.localFlags = record.generalFlags;
    if (!SeekOutput(record.localHeaderOffset) || !WriteLocalHeader(record, localExtra) ||
        !SeekOutput(m_bytesWritten))
        return fail();
    m_entries.push_back(std::move(record));
    return ArchiveOk;
}

ArchiveResult ArchiveWriter::Finish()
{
    ArchiveResult result = m_failed ? ArchiveWriteFailed : ArchiveOk;
    if (!m_centralDirectoryWritten && result == ArchiveOk) {
        result = WriteCentralDirectory();
        m_centralDirectoryWritten = true;
    }
    m_entries.clear();
    if (result == ArchiveOk && !m_output.CloseChecked())
        result = ArchiveWriteFailed; // the system's last word on a delayed write
    if (result == ArchiveOk)
        m_complete = true;
    else
        discard();
    return result;
}

std::optional<SourceInfo> ArchiveWriter::ReadSourceInfo(const std::string& sourcePath)
{
    const auto size = m_source.Size();
    const auto times = platform::GetFileTimes(m_source.Descriptor());
    const auto readOnly = platform::IsReadOnly(sourcePath);
    if (!size || !times || !readOnly)
        return std::nullopt;

    // File times are shifted by local time minus UTC, now, so that their calendar fields are
    // the local wall clock that DOS stamps carry.
    const std::int64_t shift = currentLocalOffset();
    SourceInfo info;
    info.size = *size;
    // A file written here counts as having the archive attribute, as Windows marks every file
    // it writes; read-only is the owner's missing write permission.
    const std::uint32_t attributes =
        (AttributeArchive | (*readOnly ? AttributeReadOnly : 0)) & AttributeMask;
    info.externalAttributes = attributes | ExternalRegularFile | ExternalOwnerRead;
    if (!*readOnly)
        info.externalAttributes |= ExternalOwnerWrite;
    if (isExecutable(*size))
        info.externalAttributes |= ExternalOwnerExecute;

    const std::int64_t shiftedAccess = times->access.seconds + shift;
    const std::int64_t shiftedModification = times->modification.seconds + shift;
    const std::int64_t shiftedCreation = times->creation.seconds + shift;
    info.accessTime = FileTimeToUnixTime(shiftedAccess, m_standardOffset);
    info.modificationTime = FileTimeToUnixTime(shiftedModification, m_standardOffset);
    info.creationTime = FileTimeToUnixTime(shiftedCreation, m_standardOffset);
    const DosDateTime dos = unixSecondsToDos(shiftedModification);
    info.dosStamp = static_cast<std::uint32_t>(dos.date) << 16 | dos.time;
    return info;
}

bool ArchiveWriter::isExecutable(std::int64_t size)
{
    if (size <= ExecutableMinimumSize)
        return false;
    std::array<std::uint8_t, 4> field{};
    const auto stub = m_source.ReadAt(0, std::span(field.data(), 2));
    if (!stub || *stub != 2 || readLe16(field, 0) != DosStubSignature)
        return false;
    const auto offsetRead = m_source.ReadAt(NewHeaderOffsetAt, field);
    if (!offsetRead || *offsetRead != field.size())
        return false;
    const std::int64_t newHeader = *readLe32(field, 0);
    if (newHeader + NewHeaderMargin >= size)
        return false;
    const auto signatureRead = m_source.ReadAt(newHeader, field);
    if (!signatureRead || *signatureRead != field.size())
        return false;
    const std::uint32_t signature = *readLe32(field, 0);
    return std::find(NewHeaderSignatures.begin(), NewHeaderSignatures.end(), signature) !=
           NewHeaderSignatures.end();
}

// Reads up to buffer.size() bytes of the current source and adds them to the running CRC-32.
// Returns the count; 0 is the end of the data, and a failed read counts as 0 bytes.
std::size_t ArchiveWriter::ReadSource(std::span<std::uint8_t> buffer)
{
    const auto got = m_source.Read(buffer);
    if (!got || *got == 0)
        return 0;
    m_bytesRead += *got;
    m_crc = static_cast<std::uint32_t>(crc32(m_crc, buffer.data(), static_cast<uInt>(*got)));
    return *got;
}

bool ArchiveWriter::StoreData()
{
    for (;;) {
        const std::size_t count = ReadSource(m_dataBuffer);
        if (count == 0)
            return true;
        if (m_bytesRead > MaxField32)
            return false; // the source grew past what a size field holds
        if (WriteOutput(std::span(m_dataBuffer.data(), count)) != count)
            return false;
        m_compressedSize += count;
    }
}

bool ArchiveWriter::DeflateData(EntryRecord& record)
{
    record.generalFlags |= FlagThoroughDeflate;
    DeflateStream codec;
    if (!codec.ready())
        return false;
    z_stream& stream = codec.stream();
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t count = ReadSource(m_inputBuffer);
        if (m_bytesRead > MaxField32)
            return false;
        flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = m_inputBuffer.data();
        stream.avail_in = static_cast<uInt>(count);
        // Run the codec until it leaves room in the output buffer: then it has taken all input.
        do {
            stream.next_out = m_dataBuffer.data();
            stream.avail_out = static_cast<uInt>(m_dataBuffer.size());
            const int status = deflate(&stream, flush);
            if (status == Z_STREAM_ERROR)
                return false;
            const std::size_t produced = m_dataBuffer.size() - stream.avail_out;
            if (produced > 0 && WriteOutput(std::span(m_dataBuffer.data(), produced)) != produced)
                return false;
            m_compressedSize += produced;
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    return true;
}

// Writes the bytes at the archive file's pointer and returns the count written: all of them,
// or 0 when the write failed or would carry the archive past the last 32-bit offset.
std::size_t ArchiveWriter::WriteOutput(std::span<const std::uint8_t> bytes)
{
    if (m_outputPosition > MaxField32 || MaxField32 - m_outputPosition < bytes.size())
        return 0;
    if (!m_output.Write(bytes))
        return 0;
    m_outputPosition += bytes.size();
    return bytes.size();
}

bool ArchiveWriter::SeekOutput(std::uint64_t position)
{
    if (!m_output.Seek(static_cast<std::int64_t>(position)))
        return false;
    m_outputPosition = position;
    return true;
}

bool ArchiveWriter::WriteLocalHeader(const EntryRecord& record, const LocalExtra& extra)
{
    std::vector<std::uint8_t> header(LocalHeaderSize);
    writeLe32(header, 0, LocalHeaderSignature);
    writeLe16(header, LocalVersionNeededAt, record.versionNeeded);
    writeLe16(header, LocalFlagsAt, record.localFlags);
    writeLe16(header, LocalMethodAt, record.method);
    writeLe32(header, LocalDosStampAt, record.dosStamp);
    writeLe32(header, LocalCrcAt, record.crc);
    writeLe32(header, LocalCompressedSizeAt, record.compressedSize);
    writeLe32(header, LocalUncompressedSizeAt, record.uncompressedSize);
    writeLe16(header, LocalNameLengthAt, static_cast<std::uint16_t>(record.name.size()));
    writeLe16(header, LocalExtraLengthAt, static_cast<std::uint16_t>(LocalExtraSize));
    const auto name = bytesOf(record.name);
    header.insert(header.end(), name.begin(), name.end());
    header.insert(header.end(), extra.begin(), extra.end());
    return WriteOutput(header) == header.size();
}

ArchiveResult ArchiveWriter::WriteCentralDirectory()
{
    const std::uint64_t start = m_bytesWritten;
    for (const EntryRecord& record : m_entries) {
        if (!WriteCentralHeader(record))
            return fail(); // no end record: the archive is removed
        m_bytesWritten += CentralHeaderSize + record.name.size() + CentralExtraSize;
    }
    if (!WriteEndRecord(m_entries.size(), m_bytesWritten - start, start))
        return fail();
    m_bytesWritten += EndRecordSize;
    return ArchiveOk;
}

bool ArchiveWriter::WriteCentralHeader(const EntryRecord& record)
{
    std::vector<std::uint8_t> header(CentralHeaderSize);
    writeLe32(header, 0, CentralHeaderSignature);
    writeLe16(header, CentralVersionMadeByAt, record.versionMadeBy);
    writeLe16(header, CentralVersionNeededAt, record.versionNeeded);
    writeLe16(header, CentralFlagsAt, record.generalFlags);
    writeLe16(header, CentralMethodAt, record.method);
    writeLe32(header, CentralDosStampAt, record.dosStamp);
    writeLe32(header, CentralCrcAt, record.crc);
    writeLe32(header, CentralCompressedSizeAt, record.compressedSize);
    writeLe32(header, CentralUncompressedSizeAt, record.uncompressedSize);
    writeLe16(header, CentralNameLengthAt, static_cast<std::uint16_t>(record.name.size()));
    writeLe16(header, CentralExtraLengthAt, static_cast<std::uint16_t>(CentralExtraSize));
    writeLe16(header, CentralCommentLengthAt, 0);
    writeLe16(header, CentralDiskStartAt, record.diskNumberStart);
    writeLe16(header, CentralInternalAttributesAt, record.internalAttributes);
    writeLe32(header, CentralExternalAttributesAt, record.externalAttributes);
    writeLe32(header, CentralLocalOffsetAt, record.localHeaderOffset);
    const auto name = bytesOf(record.name);
    header.insert(header.end(), name.begin(), name.end());
    header.insert(header.end(), record.centralExtra.begin(), record.centralExtra.end());
    return WriteOutput(header) == header.size();
}

// The end record is the one write allowed past the last 32-bit offset: nothing points at it.
bool ArchiveWriter::WriteEndRecord(std::size_t count, std::uint64_t size, std::uint64_t offset)
{
    std::array<std::uint8_t, EndRecordSize> record{};
    writeLe32(record, 0, EndRecordSignature);
    writeLe16(record, EndDiskAt, 0);
    writeLe16(record, EndDirectoryDiskAt, 0);
    writeLe16(record, EndEntriesOnDiskAt, static_cast<std::uint16_t>(count));
    writeLe16(record, EndEntriesTotalAt, static_cast<std::uint16_t>(count));
    writeLe32(record, EndDirectorySizeAt, static_cast<std::uint32_t>(size));
    writeLe32(record, EndDirectoryOffsetAt, static_cast<std::uint32_t>(offset));
    writeLe16(record, EndCommentLengthAt, 0);
    if (!m_output.Write(record))
        return false;
    m_outputPosition += record.size();
    return true;
}

class WritingHandle final : public ArchiveHandle
{
public:
    explicit WritingHandle(std::unique_ptr<ArchiveWriter> writer)
        : ArchiveHandle(WritingHandleKind), m_writer(std::move(writer))
    {
    }
    ArchiveWriter& writer() { return *m_writer; }

private:
    std::unique_ptr<ArchiveWriter> m_writer;
};

} // namespace

ArchiveHandlePtr CreateArchive(const std::string& archivePath)
{
    auto writer = std::make_unique<ArchiveWriter>();
    if (!writer->Open(archivePath))
        return nullptr;
    return std::make_unique<WritingHandle>(std::move(writer));
}

ArchiveResult AddFileToArchive(ArchiveHandle* handle, const std::string& entryName,
                               const std::string& sourcePath, EntryMethod method)
{
    if (!handle)
        return ArchiveBadArgument;
    if (handle->kind() != WritingHandleKind)
        return ArchiveWrongHandle;
    return static_cast<WritingHandle*>(handle)->writer().AddFile(entryName, sourcePath, method);
}

ArchiveResult FinishArchive(ArchiveHandlePtr handle)
{
    if (!handle)
        return ArchiveBadArgument;
    if (handle->kind() != WritingHandleKind)
        return ArchiveWrongHandle;
    return static_cast<WritingHandle*>(handle.get())->writer().Finish();
}

} // namespace zip
