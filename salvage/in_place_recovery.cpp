// Recovery that reads an entry's data where it lies and trusts only what can be checked. A
// deflated entry ends where its deflate stream ends, not at the first signature-like bytes, so
// an entry cut short or damaged midway keeps every byte that inflates before the damage, and a
// false signature inside compressed data never cuts an entry. A stored entry whose header gives
// its size is copied whole when the CRC-32 of those bytes proves the size right; the verified
// deflated recovery likewise keeps only a copy that checks. An XML part damaged midway goes on
// after the damage: the stream is picked up again where its symbols can be found, and the XML
// that comes out is joined to what came before where its elements fit.
#include "content/xml_splice.h"
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "salvage/bit_repair.h"
#include "salvage/central_directory.h"
#include "salvage/deflate_resync.h"
#include "zip/dos_time.h"
#include "zip/inflate_stream.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
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

// An XML part damaged midway is read whole into memory to be picked up after the damage;
// parts beyond these sizes keep what came before the damage.
constexpr std::int64_t MaxResumedInput = std::int64_t{64} << 20;
constexpr std::size_t MaxResumedOutput = std::size_t{256} << 20;

constexpr std::string_view ContentPartName = "content.xml";

bool isXmlPart(const std::string& name)
{
    constexpr std::string_view Suffix = ".xml";
    return name.size() >= Suffix.size() &&
           name.compare(name.size() - Suffix.size(), Suffix.size(), Suffix) == 0;
}

std::string_view textOf(const std::vector<std::uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The entry's size when its stream was damaged once and still ran to its end: from its local
// header, or from the data descriptor right after the stream, whose compressed size must say
// where it lies.
std::optional<std::uint32_t> expectedSize(const salvage::LocalHeaderRecord& header,
                                          std::span<const std::uint8_t> data,
                                          const salvage::ResumedInflate& resumed)
{
    if (resumed.pieces.size() != 2 || !resumed.ended)
        return std::nullopt;
    if ((header.flags & DeferredSizesFlag) == 0)
        return header.uncompressedSize;
    for (std::size_t at = resumed.endByte > 0 ? resumed.endByte - 1 : 0;
         at <= resumed.endByte + 1 && at + zip::descriptor::RecordSize <= data.size(); ++at) {
        const auto record = data.subspan(at, zip::descriptor::RecordSize);
        if (zip::readLe32(record, 0) == zip::DataDescriptorSignature &&
            zip::readLe32(record, 8) == at)
            return zip::readLe32(record, 12);
    }
    return std::nullopt;
}

// The XML part in the compressed bytes [dataOffset, bound) as far as it can be read: what came
// before the damage, and what was picked up after each damage, joined where it fits. Nothing
// when nothing after the damage could be picked up.
std::optional<std::string> readAcrossDamage(platform::CFile64& file,
                                            const salvage::LocalHeaderRecord& header,
                                            const std::string& name, std::int64_t dataOffset,
                                            std::int64_t bound)
{
    const std::int64_t span = bound - dataOffset;
    if (span <= 0 || span > MaxResumedInput)
        return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(span));
    data.resize(file.ReadAt(dataOffset, data).value_or(0));
    auto resumed = salvage::InflateAcrossDamage(data, MaxResumedOutput);
    if (const auto size = expectedSize(header, data, resumed)) {
        const std::size_t got = resumed.pieces[0].size() + resumed.pieces[1].size();
        if (*size >= got)
            resumed = salvage::InflateAcrossDamage(data, MaxResumedOutput, *size - got);
    }
    if (resumed.pieces.size() < 2)
        return std::nullopt;
    std::string text(textOf(resumed.pieces.front()));
    for (std::size_t piece = 1; piece < resumed.pieces.size(); ++piece)
        text = content::SpliceAfterGap(text, textOf(resumed.pieces[piece]),
                                       static_cast<char>(salvage::ResyncFiller),
                                       name == ContentPartName);
    return text;
}

// Mending one flipped bit inflates the entry again for every bit tried, so it is kept to parts
// of moderate size and to the bytes shortly before where the damage showed.
constexpr std::int64_t MaxMendedInput = std::int64_t{16} << 20;
constexpr std::uint32_t MaxMendedOutput = std::uint32_t{64} << 20;
constexpr std::size_t FlipSearchBytes = 256;
constexpr std::size_t MaxFlipWork = std::size_t{16} << 20;

// What a deflated entry must inflate to, and how many compressed bytes should do it: from its
// local header, from the data descriptor before the next header (whose compressed size must
// say where it lies), or from the central directory's record of its name.
struct Target
{
    salvage::Checksum expected;
    std::int64_t compressedSize = 0;
};

std::optional<Target> targetOf(platform::CFile64& file, const salvage::LocalHeaderRecord& header,
                               const std::string& name, std::int64_t dataOffset, std::int64_t bound,
                               std::span<const std::int64_t> descriptors,
                               std::span<const std::int64_t> centralHeaders)
{
    if ((header.flags & DeferredSizesFlag) == 0)
        return Target{{header.crc, header.uncompressedSize}, header.compressedSize};
    const auto descriptor = std::upper_bound(descriptors.begin(), descriptors.end(), dataOffset);
    if (descriptor != descriptors.end() && *descriptor < bound) {
        std::array<std::uint8_t, zip::descriptor::RecordSize> bytes{};
        if (file.ReadAt(*descriptor, bytes).value_or(0) == bytes.size() &&
            zip::readLe32(bytes, 8) == *descriptor - dataOffset)
            return Target{{*zip::readLe32(bytes, 4), *zip::readLe32(bytes, 12)},
                          *descriptor - dataOffset};
    }
    for (const auto& central : salvage::ReadCentralHeaders(file, centralHeaders))
        if (central.name == name && central.method == zip::MethodDeflated &&
            central.compressedSize <= bound - dataOffset)
            return Target{{central.crc, central.uncompressedSize}, central.compressedSize};
    return std::nullopt;
}

// A wiped stretch where the damage shows is damage of another kind: no flipped bit undoes it.
bool hasWipedRun(std::span<const std::uint8_t> searched)
{
    constexpr std::size_t WipedRun = 16;
    return std::search_n(searched.begin(), searched.end(), WipedRun, std::uint8_t{0}) !=
           searched.end();
}

// The whole of a file of at most limit bytes.
std::optional<std::string> readText(const std::string& path, std::uint32_t limit)
{
    platform::CFile64 file;
    const auto size = file.OpenRead(path) ? file.Size() : std::nullopt;
    if (!size || *size > static_cast<std::int64_t>(limit))
        return std::nullopt;
    std::string text(static_cast<std::size_t>(*size), '\0');
    if (file.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()))
            .value_or(0) != text.size())
        return std::nullopt;
    return text;
}

// An XML part that inflated to its end but reads wrong in places: flipped bits inflate on into
// other bytes, and the stream soon finds its way again. What follows the first thing that does
// not read is joined on as after a gap, where the elements fit, rather than cut away with it.
std::optional<std::string> joinedOverBreak(const std::string& inflatedPath, bool contentPart)
{
    const auto text = readText(inflatedPath, MaxMendedOutput);
    if (!text)
        return std::nullopt;
    const std::size_t sound = content::SoundLength(*text);
    const std::size_t shown = content::DamageShownBy(*text);
    if (sound >= text->size() || shown >= text->size())
        return std::nullopt; // sound to its end, or nothing after the break
    return content::SpliceAfterGap(std::string_view(*text).substr(0, sound),
                                   std::string_view(*text).substr(shown),
                                   static_cast<char>(salvage::ResyncFiller), contentPart);
}

// Inflates data whole into at most limit bytes: the output, and whether the stream ended there.
std::pair<std::vector<std::uint8_t>, bool> inflateWhole(std::span<const std::uint8_t> data,
                                                        std::size_t limit)
{
    std::vector<std::uint8_t> output(limit);
    zip::InflateStream stream;
    std::size_t produced = 0;
    auto status = zip::InflateStream::Status::Progress;
    while (status == zip::InflateStream::Status::Progress && produced < output.size()) {
        const auto step = stream.Inflate(data, std::span(output).subspan(produced));
        data = data.subspan(step.consumed);
        produced += step.produced;
        status = step.status;
    }
    output.resize(produced);
    return {std::move(output), status == zip::InflateStream::Status::StreamEnd};
}

// The compressed data of an entry small enough to mend flipped bits in, read whole.
std::optional<std::vector<std::uint8_t>> compressedOf(platform::CFile64& file, const Target& target,
                                                      std::int64_t dataOffset)
{
    if (target.compressedSize <= 0 || target.compressedSize > MaxMendedInput ||
        target.expected.size > MaxMendedOutput)
        return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(target.compressedSize));
    if (file.ReadAt(dataOffset, data).value_or(0) != data.size())
        return std::nullopt;
    return data;
}

// What flipping bits back made of an XML part: all of it checked, or at least reading well to
// its end where one last flip changed only a few letters, which nothing can find.
struct Unflipped
{
    std::vector<std::uint8_t> output;
    bool checks = false;
};

// Flips back, in data, the flipped bits that spoil an XML part, each found in turn as a flip
// after which the text reads on furthest past where it stopped reading. Of flips that read on as
// far the first is followed, and up to `detours` times on the way another; the first way that
// checks is kept, else the first that reads well to the end.
// The flips in data after which its text, which stopped reading early, reads on furthest.
std::vector<std::size_t> flipsThatReadOn(std::span<const std::uint8_t> data,
                                         const std::vector<std::uint8_t>& output, bool ended,
                                         std::size_t& workLeft)
{
    const std::string_view text(reinterpret_cast<const char*>(output.data()), output.size());
    // Where the text stops reading: where inflate stumbled, or where the XML does.
    const std::size_t sound = content::SoundLength(text);
    const std::size_t shown = ended ? content::DamageShownBy(text) : output.size();
    const std::size_t soundInput = salvage::InputByteAtOutput(data, sound).value_or(0);
    const std::size_t from = soundInput > FlipSearchBytes ? soundInput - FlipSearchBytes : 0;
    const std::size_t to = std::min(
        salvage::InputByteAtOutput(data, shown).value_or(data.size() - 1), data.size() - 1);
    // Wiped bytes just after where the damage showed are what inflate stumbled on.
    const std::size_t looked = std::min(to + 1 + FlipSearchBytes, data.size());
    if (from > to || hasWipedRun(data.subspan(from, looked - from)))
        return {};
    // The text before the bits tried reads the same every time: it is read once a search.
    std::optional<content::SoundReader> reader;
    std::size_t readerFor = 0;
    const salvage::ReadsUntil reads = [&](std::string_view part, std::size_t unchanged) {
        if (!reader || readerFor != unchanged) {
            reader.emplace(part.substr(0, unchanged));
            readerFor = unchanged;
        }
        return reader->SoundLength(part);
    };
    // The flip most likely lies about where the text stopped reading; inflate may stumble
    // only much later. Those bits are tried first.
    const std::size_t near = std::min(soundInput + FlipSearchBytes, to + 1);
    auto flips = salvage::FindFlipsThatReadOn(data, from * 8, near * 8, shown, reads, workLeft);
    if (flips.empty() && near <= to)
        flips = salvage::FindFlipsThatReadOn(data, near * 8, (to + 1) * 8, shown, reads, workLeft);
    return flips;
}

// The flips found to read on, by the flips already made: each way is searched once, however
// many passes go along it.
using FlipsFound = std::map<std::vector<std::size_t>, std::vector<std::size_t>>;

std::optional<Unflipped> unflipInTurn(std::vector<std::uint8_t>& data, const Target& target,
                                      int flipsLeft, int detours, std::vector<std::size_t>& made,
                                      FlipsFound& found, std::size_t& workLeft)
{
    const bool flipped = !made.empty();
    // Flips can make the stream give somewhat more than the entry holds.
    auto [output, ended] =
        inflateWhole(data, std::size_t{target.expected.size} + target.expected.size / 4 + 1024);
    if (ended && output.size() == target.expected.size &&
        static_cast<std::uint32_t>(crc32(0, output.data(), static_cast<uInt>(output.size()))) ==
            target.expected.crc)
        return Unflipped{std::move(output), true};
    const std::string_view text(reinterpret_cast<const char*>(output.data()), output.size());
    if (ended && content::SoundLength(text) >= output.size()) { // no place left to look
        // Kept only at the size the part must have, which a stream that flips sent off to an
        // early end, or into noise, does not reach.
        const bool whole = flipped && output.size() == target.expected.size;
        return whole ? std::optional(Unflipped{std::move(output), false}) : std::nullopt;
    }
    if (flipsLeft == 0)
        return std::nullopt;
    auto known = found.find(made);
    if (known == found.end()) {
        if (workLeft == 0)
            return std::nullopt;
        known = found.emplace(made, flipsThatReadOn(data, output, ended, workLeft)).first;
    }
    const std::vector<std::size_t> flips = known->second;
    std::optional<Unflipped> readable;
    // With a detour to take, the other flips here come first: a wrong choice is soonest undone
    // where it was made, and the first flip's way on is tried last, with the detour still open.
    const std::size_t count = detours > 0 ? flips.size() : std::min<std::size_t>(flips.size(), 1);
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t tried = detours > 0 ? (step + 1) % flips.size() : 0;
        const std::size_t bit = flips[tried];
        const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
        data[bit / 8] ^= mask;
        made.push_back(bit);
        auto result = unflipInTurn(data, target, flipsLeft - 1, detours - (tried > 0 ? 1 : 0), made,
                                   found, workLeft);
        made.pop_back();
        data[bit / 8] ^= mask;
        if (result && result->checks)
            return result;
        if (result && !readable)
            readable = std::move(result);
    }
    return readable;
}

// The output of an XML part spoilt by several flipped bits, which no single flip makes check,
// with the flips found flipped back: checked, or reading well to its end. Nothing when neither.
std::optional<Unflipped> mendFlippedBits(platform::CFile64& file, const Target& target,
                                         std::int64_t dataOffset, std::size_t& workLeft)
{
    constexpr int MaxFlips = 4;
    auto data = compressedOf(file, target, dataOffset);
    if (!data)
        return std::nullopt;
    // The first flip found each time, then ways that take another once, then twice: a wrong
    // choice, which reads on as well as the right one, is most often made only once.
    constexpr int MaxDetours = 1;
    // A part gets a share of the search in keeping with its size: the flips of a small part
    // are found with little, and a small part spoilt all over is not searched for long.
    constexpr std::size_t WorkPerByte = 32768;
    std::size_t share = std::min(workLeft, data->size() * WorkPerByte);
    workLeft -= share;
    std::optional<Unflipped> readable;
    std::vector<std::size_t> made;
    FlipsFound found;
    for (int detours = 0; detours <= MaxDetours && !(readable && readable->checks); ++detours) {
        auto result = unflipInTurn(*data, target, MaxFlips, detours, made, found, share);
        if (result && (!readable || result->checks))
            readable = std::move(result);
    }
    workLeft += share; // what the part left unused
    return readable;
}

// The whole output of a deflated entry that one flipped bit spoilt, flipped back and checked.
// failedAt is where inflate met the damage; for a part that inflated to its end with the wrong
// CRC-32 (failedAt negative), the damage shows where its XML (in `inflatedPath`) stops making
// sense.
std::optional<std::vector<std::uint8_t>>
mendFlippedBit(platform::CFile64& file, const Target& target, std::int64_t dataOffset,
               std::int64_t failedAt, const std::string& inflatedPath, std::size_t& workLeft)
{
    auto compressed = compressedOf(file, target, dataOffset);
    if (!compressed)
        return std::nullopt;
    std::vector<std::uint8_t>& data = *compressed;
    std::size_t shownAt = 0;
    std::size_t soundUntil = 0; // input as far as which the output still made sense
    if (failedAt >= 0) {
        shownAt = std::min(static_cast<std::size_t>(failedAt), data.size());
        soundUntil = shownAt;
    } else {
        const auto read = readText(inflatedPath, MaxMendedOutput);
        if (!read)
            return std::nullopt;
        const std::string& text = *read;
        // The flip changed the output somewhere in the first thing that does not read, at the
        // latest where it stops reading.
        const std::size_t sound = content::SoundLength(text);
        const std::size_t shown = content::DamageShownBy(text);
        const auto soundInput =
            sound < text.size() ? salvage::InputByteAtOutput(data, sound) : std::nullopt;
        if (!soundInput)
            return std::nullopt;
        soundUntil = *soundInput;
        shownAt =
            std::max(soundUntil, salvage::InputByteAtOutput(data, shown).value_or(soundUntil));
    }
    const std::size_t from = soundUntil > FlipSearchBytes ? soundUntil - FlipSearchBytes : 0;
    if (hasWipedRun(std::span(data).subspan(from, std::min(data.size(), shownAt + 1) - from)))
        return std::nullopt;
    const std::size_t work = std::min(workLeft, MaxFlipWork);
    const auto bit =
        salvage::FindFlippedBit(data, from * 8, (shownAt + 1) * 8, target.expected, work);
    // A search that found nothing used its whole share, or near enough.
    workLeft -= bit ? 0 : work;
    if (!bit)
        return std::nullopt;
    data[*bit / 8] ^= static_cast<std::uint8_t>(1u << (*bit % 8));
    auto [output, ended] = inflateWhole(data, std::size_t{target.expected.size} + 1);
    if (!ended || output.size() != target.expected.size)
        return std::nullopt;
    return std::move(output);
}

// Stored entries up to this size are read whole to look for one flipped bit; a PNG is trusted
// once its own chunk checksums agree, anything else only when it is small enough that several
// flipped bits passing for one is out of the question.
constexpr std::int64_t MaxMendedStored = std::int64_t{64} << 20;
constexpr std::int64_t MaxUncheckedMend = std::int64_t{64} << 10;

// The stored entry's bytes with the one flipped bit that spoilt them put right; empty when
// that cannot be done and trusted.
std::vector<std::uint8_t> mendStoredFlip(platform::CFile64& file, std::int64_t dataOffset,
                                         std::int64_t size, std::uint32_t expectedCrc)
{
    if (size <= 0 || size > MaxMendedStored)
        return {};
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (file.ReadAt(dataOffset, data).value_or(0) != data.size())
        return {};
    const auto bit = salvage::FindFlippedBitByCrc(data, expectedCrc);
    if (!bit)
        return {};
    data[*bit / 8] ^= static_cast<std::uint8_t>(1u << (*bit % 8));
    if (!salvage::IsSoundPng(data) && size > MaxUncheckedMend)
        return {};
    return data;
}

// The workspace file an entry is recovered into before it is placed, made afresh and open in
// out; empty when it cannot be made.
std::string createRecoveryFile(platform::CFile64& out)
{
    const std::string folder = WorkspaceFolder();
    if (folder.empty())
        return {};
    std::string temporary = folder + std::string(InflatingName);
    (void)platform::DeleteFile(temporary);
    return out.Create(temporary, platform::CreateMode::NewOnly) ? temporary : std::string();
}

// Writes bytes as the whole of the file at path.
bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes)
{
    platform::CFile64 file;
    return file.Create(path, platform::CreateMode::Truncate) && file.Write(bytes) &&
           file.CloseChecked();
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
    if (!entry || entry->IsDirectory())
        return EntryState::Empty;
    platform::CFile64 out;
    const std::string temporary = createRecoveryFile(out);
    if (temporary.empty())
        return EntryState::Empty;

    const Inflated inflated =
        inflateInto(m_file, dataOffset, out, std::numeric_limits<std::int64_t>::max());
    const std::uint32_t crc = inflated.crc;
    const std::int64_t consumed = inflated.consumed;
    const bool ended = inflated.ended;
    std::int64_t produced = inflated.produced;
    bool failed = inflated.failed;
    const std::int64_t fileSize = m_file.Size().value_or(0);
    if (!out.CloseChecked() && !failed)
        failed = true;

    EntryState state =
        ended ? EntryState::Complete : (produced > 0 ? EntryState::Partial : EntryState::Empty);
    Expected expected;
    bool headerChecksum = true; // the expected checksum comes from a record that is one for sure
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
            // Twelve bytes without the signature may be anything but a descriptor.
            headerChecksum = signed_;
        }
        if (expected.known && expected.crc == crc &&
            expected.size == static_cast<std::uint32_t>(produced))
            state = EntryState::Intact;
        else
            expected.trailer = 0;
    }
    // Only up to the next header: the data after it belongs to another entry.
    const auto next =
        std::upper_bound(m_localHeaderOffsets.begin(), m_localHeaderOffsets.end(), dataOffset);
    const std::int64_t bound = next != m_localHeaderOffsets.end() ? *next : fileSize;
    std::int64_t claimEnd = ended ? dataOffset + consumed + expected.trailer : 0;
    // A stream that one flipped bit spoilt comes back whole once that bit is found.
    const bool spoilt =
        (inflated.damaged && !ended) || (ended && state != EntryState::Intact && isXmlPart(name));
    const auto target = spoilt ? targetOf(m_file, header, name, dataOffset, bound,
                                          m_dataDescriptorOffsets, m_centralHeaderOffsets)
                               : std::nullopt;
    std::size_t readsWhole = 0; // the size of a part that flips made read well to its end
    const bool checksOut = target && ended && target->expected.crc == crc &&
                           target->expected.size == static_cast<std::uint32_t>(produced);
    if (checksOut) {
        state = EntryState::Intact; // its descriptor lies elsewhere than right after it
    } else if (target) {
        const std::int64_t failedAt = inflated.damaged ? consumed : -1;
        auto whole =
            mendFlippedBit(m_file, *target, dataOffset, failedAt, temporary, m_flipWorkLeft);
        if (!whole && isXmlPart(name)) {
            if (auto unflipped = mendFlippedBits(m_file, *target, dataOffset, m_readWorkLeft)) {
                if (unflipped->checks)
                    whole = std::move(unflipped->output);
                else if (replaceWith(temporary, unflipped->output))
                    readsWhole = unflipped->output.size();
            }
        }
        if (whole) {
            if (replaceWith(temporary, *whole)) {
                produced = static_cast<std::int64_t>(whole->size());
                state = EntryState::Intact;
                claimEnd = dataOffset + target->compressedSize;
            }
        }
    }
    // A stream damaged midway, or one that ran to its end but not to its size and CRC-32 (damage
    // that inflate read as codes), is picked up again after the damage.
    if (readsWhole > 0) {
        produced = static_cast<std::int64_t>(readsWhole);
        state = EntryState::Damaged;
    } else if (state != EntryState::Intact && isXmlPart(name) &&
               ((inflated.damaged && !ended) || (ended && (expected.known || target)))) {
        if (const auto text = readAcrossDamage(m_file, header, name, dataOffset, bound)) {
            const bool written = replaceWith(
                temporary,
                std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
            produced = written ? static_cast<std::int64_t>(text->size()) : 0;
            state = produced > 0 ? EntryState::Partial : EntryState::Empty;
        }
    }
    // Inflated to its end, yet a checksum known for sure disagrees: the data is damaged.
    if (state == EntryState::Complete && (target || (expected.known && headerChecksum)))
        state = EntryState::Damaged;
    // Only for a part of about the size it must have: flipped bits change that little, while
    // noise that happens to inflate to an end gives other sizes and must add nothing.
    constexpr std::int64_t FlipSizeSlack = 64;
    if (state == EntryState::Damaged && isXmlPart(name) && readsWhole == 0 && target &&
        std::abs(produced - static_cast<std::int64_t>(target->expected.size)) <= FlipSizeSlack) {
        if (const auto text = joinedOverBreak(temporary, name == ContentPartName)) {
            if (replaceWith(
                    temporary,
                    std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()))) {
                produced = static_cast<std::int64_t>(text->size());
                state = EntryState::Partial;
            }
        }
    }
    if (state == EntryState::Empty) {
        (void)platform::DeleteFile(temporary);
        return state;
    }
    setDosTime(temporary, header);
    if (placeRecovered(temporary, workspacePath, *entry, state, true) && claimEnd > 0)
        m_claimedUntil = std::max(m_claimedUntil, claimEnd);
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
    if (!entry || entry->IsDirectory())
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
    // One flipped bit is put right when the result can be trusted (see mendStoredFlip).
    const std::vector<std::uint8_t> mended =
        crc == header.crc ? std::vector<std::uint8_t>{}
                          : mendStoredFlip(m_file, dataOffset, size, header.crc);
    if (crc != header.crc && mended.empty())
        return EntryState::Empty;

    platform::CFile64 out;
    const std::string temporary = createRecoveryFile(out);
    if (temporary.empty())
        return EntryState::Empty;
    bool written = mended.empty() || out.Write(mended);
    for (std::int64_t done = mended.empty() ? 0 : size; written && done < size;) {
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
    if (!entry || entry->IsDirectory())
        return EntryState::Empty;
    platform::CFile64 out;
    const std::string temporary = createRecoveryFile(out);
    if (temporary.empty())
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
