// Recovery that reads an entry's data where it lies and trusts only what can be checked. A
// deflated entry ends where its deflate stream ends, not at the first signature-like bytes, so
// an entry cut short or damaged midway keeps every byte that inflates before the damage, and a
// false signature inside compressed data never cuts an entry. A stored entry whose header gives
// its size is copied whole when the CRC-32 of those bytes proves the size right; the verified
// deflated recovery likewise keeps only a copy that checks. An XML part damaged midway gains the
// words after the damage, from the next deflate block that is found.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "salvage/deflate_resync.h"
#include "zip/dos_time.h"
#include "zip/inflate_stream.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <limits>
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

// How far past the damage a new block start is looked for: level 6 ends a block every 16K
// symbols, a few tens of kilobytes of compressed text at most, so 1 MiB spans many blocks while
// keeping a search through noise short.
constexpr std::int64_t ResyncSearchSpan = std::int64_t{1} << 20;
// Compressed bytes past the last candidate that are read with the search window, so that the
// last candidates can still be proved.
constexpr std::int64_t ResyncProofSpan = 65536;
// Each new damage costs one more search; a stream worse off than this is noise.
constexpr int MaxResyncs = 8;
// Output picked up after damage is held back and cleaned in pieces of at most this size.
constexpr std::size_t MaxHeldBack = std::size_t{1} << 20;

bool isXmlPart(const std::string& name)
{
    constexpr std::string_view Suffix = ".xml";
    return name.size() >= Suffix.size() &&
           name.compare(name.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
}

// Appends the text of one stretch of picked-up output between filler bytes. Markup is mostly
// made of back-references, so after the damage tags come out as filler and keep doing so down
// every chain of references; what survives are the words. Only character data is kept: the
// remains of a tag cut by filler and whole tags are dropped, and a '&' that starts no entity.
void appendWords(std::string_view piece, std::vector<std::uint8_t>& text)
{
    const std::size_t tail = piece.find('>');
    if (tail != std::string_view::npos && piece.substr(0, tail).find('<') == std::string_view::npos)
        piece.remove_prefix(tail + 1);
    std::string words;
    for (std::size_t at = 0; at < piece.size();) {
        const char c = piece[at];
        if (c == '<') {
            const std::size_t close = piece.find('>', at);
            at = close == std::string_view::npos ? piece.size() : close + 1;
            continue;
        }
        if (c == '&') {
            const std::size_t semicolon = piece.find(';', at);
            const bool entity =
                semicolon != std::string_view::npos && semicolon > at + 1 &&
                std::all_of(piece.begin() + static_cast<std::ptrdiff_t>(at + 1),
                            piece.begin() + static_cast<std::ptrdiff_t>(semicolon), [](char e) {
                                return e == '#' || std::isalnum(static_cast<unsigned char>(e));
                            });
            if (!entity) {
                ++at;
                continue;
            }
        }
        words.push_back(c);
        ++at;
    }
    const bool blank = std::all_of(words.begin(), words.end(), [](char w) {
        return std::isspace(static_cast<unsigned char>(w));
    });
    if (blank)
        return;
    if (!text.empty())
        text.push_back(' ');
    text.insert(text.end(), words.begin(), words.end());
}

// Writes the words of one picked-up stretch of output (see appendWords).
class SpliceWriter
{
public:
    explicit SpliceWriter(platform::CFile64& out) : m_out(out) {}

    // Takes the next output bytes; false when the file could not be written.
    [[nodiscard]] bool Add(std::span<const std::uint8_t> bytes)
    {
        m_held.insert(m_held.end(), bytes.begin(), bytes.end());
        return m_held.size() < MaxHeldBack || Finish();
    }

    // Writes the words of what is held back; false when the file could not be written.
    [[nodiscard]] bool Finish()
    {
        std::vector<std::uint8_t> text;
        for (auto at = m_held.begin(); at != m_held.end();) {
            const auto end = std::find(at, m_held.end(), salvage::ResyncFiller);
            appendWords(std::string_view(reinterpret_cast<const char*>(&*at),
                                         static_cast<std::size_t>(end - at)),
                        text);
            at = std::find_if(end, m_held.end(),
                              [](std::uint8_t b) { return b != salvage::ResyncFiller; });
        }
        m_held.clear();
        if (!text.empty() && m_written == 0)
            text.insert(text.begin(), ' ');
        m_written += static_cast<std::int64_t>(text.size());
        return text.empty() || m_out.Write(text);
    }

    [[nodiscard]] std::int64_t Written() const { return m_written; }

private:
    platform::CFile64& m_out;
    std::vector<std::uint8_t> m_held;
    std::int64_t m_written = 0;
};

// Goes on after damage that inflate reported at errorAt: finds the next block start before
// bound, inflates from it with a window of filler and appends the words of the output to out,
// again after each new damage. Returns the bytes appended; writeFailed is set when out
// could not be written.
std::int64_t appendAfterDamage(platform::CFile64& file, std::int64_t errorAt, std::int64_t bound,
                               platform::CFile64& out, bool& writeFailed)
{
    using Status = zip::InflateStream::Status;
    zip::InflateStream inflater;
    if (!inflater.IsValid())
        return 0;
    std::vector<std::uint8_t> window;
    std::vector<std::uint8_t> input(ChunkSize);
    std::vector<std::uint8_t> output(ChunkSize);
    std::int64_t appended = 0;
    for (int attempt = 0; attempt < MaxResyncs && !writeFailed; ++attempt) {
        // The byte inflate stopped in may hold the first bits of the next block.
        const std::int64_t from = std::max<std::int64_t>(errorAt - 1, 0);
        if (from >= bound)
            break;
        const std::int64_t span = std::min(bound - from, ResyncSearchSpan + ResyncProofSpan);
        window.resize(static_cast<std::size_t>(span));
        window.resize(file.ReadAt(from, window).value_or(0));
        const auto start = salvage::FindBlockStart(
            inflater, window, 0, static_cast<std::size_t>(std::min(span, ResyncSearchSpan)));
        if (!start || !salvage::RestartAtBit(inflater, window[start->byte], start->bit))
            break;

        SpliceWriter splice(out);
        std::int64_t at = from + static_cast<std::int64_t>(start->byte) + 1;
        Status status = Status::Progress;
        while (status != Status::StreamEnd && status != Status::DataError &&
               status != Status::OutOfMemory && !writeFailed && at < bound) {
            const auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(bound - at, ChunkSize));
            const std::size_t got = file.ReadAt(at, std::span(input.data(), want)).value_or(0);
            if (got == 0)
                break;
            std::span<const std::uint8_t> pending(input.data(), got);
            status = Status::Progress;
            while (!pending.empty() && status == Status::Progress && !writeFailed) {
                const auto step = inflater.Inflate(pending, output);
                pending = pending.subspan(step.consumed);
                at += static_cast<std::int64_t>(step.consumed);
                writeFailed = !splice.Add(std::span(output.data(), step.produced));
                status = step.status;
            }
        }
        writeFailed = !splice.Finish() || writeFailed;
        appended += splice.Written();
        if (status != Status::DataError)
            break;
        errorAt = at;
    }
    return appended;
}

struct Inflated
{
    std::uint32_t crc = 0;     // of the output
    std::int64_t produced = 0; // output bytes written
    std::int64_t consumed = 0; // input bytes taken from dataOffset on
    bool ended = false;        // the final block is complete
    bool damaged = false;      // inflate met data that is no deflate stream
    bool failed = false;       // damaged, out of memory, not written or over the output cap
};

// Inflates the deflate stream that starts at dataOffset of file into out, until it ends, meets
// damage, the file ends or more than maxOutput bytes come out.
Inflated inflateInto(platform::CFile64& file, std::int64_t dataOffset, platform::CFile64& out,
                     std::int64_t maxOutput)
{
    Inflated result;
    zip::InflateStream stream;
    if (!stream.IsValid()) {
        result.failed = true;
        return result;
    }
    std::vector<std::uint8_t> input(ChunkSize);
    std::vector<std::uint8_t> output(ChunkSize);
    const std::int64_t fileSize = file.Size().value_or(0);
    while (!result.ended && !result.failed && dataOffset + result.consumed < fileSize) {
        const std::size_t got =
            file.ReadAt(dataOffset + result.consumed, std::span(input.data(), input.size()))
                .value_or(0);
        if (got == 0)
            break;
        std::span<const std::uint8_t> pending(input.data(), got);
        bool needsInput = false;
        while (!pending.empty() && !result.ended && !result.failed && !needsInput) {
            const auto step = stream.Inflate(pending, output);
            pending = pending.subspan(step.consumed);
            result.consumed += static_cast<std::int64_t>(step.consumed);
            if (step.produced > 0) {
                const std::span<const std::uint8_t> bytes(output.data(), step.produced);
                result.crc = updateCrc(result.crc, bytes);
                result.produced += static_cast<std::int64_t>(step.produced);
                result.failed = result.produced > maxOutput || !out.Write(bytes);
            }
            result.ended = step.status == zip::InflateStream::Status::StreamEnd;
            result.damaged = step.status == zip::InflateStream::Status::DataError;
            result.failed = result.failed || result.damaged ||
                            step.status == zip::InflateStream::Status::OutOfMemory;
            needsInput = step.status == zip::InflateStream::Status::NeedsInput;
        }
    }
    return result;
}

// Dates a recovered file like the archive reader's extracts: the header's DOS time as it stands.
void setDosTime(const std::string& path, const salvage::LocalHeaderRecord& header)
{
    if (const auto seconds = zip::dosToUnixSeconds({header.dosDate, header.dosTime}))
        (void)platform::SetFileTimes(path, {*seconds, 0}, {*seconds, 0});
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

    const Inflated inflated =
        inflateInto(m_file, dataOffset, out, std::numeric_limits<std::int64_t>::max());
    const std::uint32_t crc = inflated.crc;
    const std::int64_t consumed = inflated.consumed;
    const bool ended = inflated.ended;
    std::int64_t produced = inflated.produced;
    bool failed = inflated.failed;
    const std::int64_t fileSize = m_file.Size().value_or(0);
    if (inflated.damaged && !ended && isXmlPart(name)) {
        // Only up to the next header: the data after it belongs to another entry.
        const auto next =
            std::upper_bound(m_localHeaderOffsets.begin(), m_localHeaderOffsets.end(), dataOffset);
        const std::int64_t bound = next != m_localHeaderOffsets.end() ? *next : fileSize;
        bool writeFailed = false;
        produced += appendAfterDamage(m_file, dataOffset + consumed, bound, out, writeFailed);
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
    setDosTime(temporary, header);
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

EntryState CFileRepairer::RecoverDeflatedVerified(const salvage::LocalHeaderRecord& header,
                                                  const std::string& name, std::int64_t dataOffset,
                                                  const std::string& workspacePath)
{
    const std::int64_t fileSize = m_file.Size().value_or(0);
    if ((header.flags & DeferredSizesFlag) != 0 || dataOffset < 0 || dataOffset > fileSize ||
        fileSize - dataOffset < header.compressedSize)
        return EntryState::Empty;
    const auto entry = salvage::confineEntryPath(name, workspacePath.size());
    const std::string folder = WorkspaceFolder();
    if (!entry || entry->IsDirectory() || folder.empty())
        return EntryState::Empty;
    const std::string temporary = folder + std::string(InflatingName);
    (void)platform::DeleteFile(temporary);
    platform::CFile64 out;
    if (!out.Create(temporary, platform::CreateMode::NewOnly))
        return EntryState::Empty;

    // Stopped as soon as the output outgrows the size it must have, so a wrong offset that
    // happens to inflate costs little.
    const Inflated inflated = inflateInto(m_file, dataOffset, out, header.uncompressedSize);
    const bool closed = out.CloseChecked();
    if (!closed || !inflated.ended || inflated.failed || inflated.crc != header.crc ||
        inflated.produced != static_cast<std::int64_t>(header.uncompressedSize) ||
        inflated.consumed != static_cast<std::int64_t>(header.compressedSize)) {
        (void)platform::DeleteFile(temporary);
        return EntryState::Empty;
    }
    setDosTime(temporary, header);
    if (placeRecovered(temporary, workspacePath, *entry, EntryState::Intact, true))
        m_claimedUntil = std::max(m_claimedUntil, dataOffset + inflated.consumed);
    m_report.entries.push_back({entry->Relative(), headerOffsetOf(header, dataOffset),
                                header.method, EntryState::Intact, inflated.produced});
    return EntryState::Intact;
}
