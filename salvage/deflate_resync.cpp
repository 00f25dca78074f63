#include "salvage/deflate_resync.h"

#include "salvage/lost_window.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace salvage {

namespace {

constexpr std::size_t WindowSize = 32768;

constexpr unsigned FixedBlockType = 1;
constexpr unsigned DynamicBlockType = 2;
constexpr unsigned MaxLengthCodes = 286; // 257 + the 5-bit HLIT, at most 29
constexpr unsigned MaxDistanceCodes = 30;
constexpr unsigned MaxCountField = 29;
constexpr unsigned MaxCodeBits = 15;
constexpr unsigned EndOfBlock = 256;

// The order in which a dynamic header gives the lengths of the code-length code.
constexpr std::array<std::uint8_t, 19> CodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// Output of a candidate stream that is not text, in fiftieths, before it is refused: the
// XML parts we resync hold no control characters at all.
constexpr std::size_t MaxBadFiftieths = 1;
// A candidate that ends its stream must have inflated at least this much first, so that a
// final block made of noise cannot pass by ending early.
constexpr std::size_t MinEndedProofBytes = 512;

class BitReader
{
public:
    BitReader(std::span<const std::uint8_t> data, std::size_t bit) : m_data(data), m_bit(bit) {}
    BitReader(std::span<const std::uint8_t> data, BitPosition at)
        : BitReader(data, at.byte * 8 + at.bit)
    {
    }

    // The next count bits, first bit lowest; nothing when they run past the data.
    std::optional<unsigned> take(unsigned count)
    {
        if (m_bit > m_data.size() * 8 || m_data.size() * 8 - m_bit < count)
            return std::nullopt;
        unsigned value = 0;
        for (unsigned i = 0; i < count; ++i, ++m_bit)
            value |= static_cast<unsigned>((m_data[m_bit / 8] >> (m_bit % 8)) & 1u) << i;
        return value;
    }

    [[nodiscard]] std::size_t position() const { return m_bit; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_bit;
};

enum class CodeShape
{
    Complete,
    Single, // one code of one bit: zlib allows it for literals and distances
    Empty,  // no codes at all
    Incomplete,
    OverSubscribed,
};

// How the code lengths fill the code space, in units of 2^-MaxCodeBits.
CodeShape shapeOf(std::span<const std::uint8_t> lengths)
{
    std::uint32_t used = 0;
    unsigned longest = 0;
    for (const std::uint8_t length : lengths) {
        if (length == 0)
            continue;
        used += std::uint32_t{1} << (MaxCodeBits - length);
        longest = std::max<unsigned>(longest, length);
    }
    constexpr std::uint32_t Whole = std::uint32_t{1} << MaxCodeBits;
    if (used > Whole)
        return CodeShape::OverSubscribed;
    if (used == Whole)
        return CodeShape::Complete;
    if (longest == 0)
        return CodeShape::Empty;
    return longest == 1 ? CodeShape::Single : CodeShape::Incomplete;
}

// Canonical Huffman decoding, one bit at a time: codes of one length are consecutive numbers,
// given to the symbols in their order.
class HuffmanDecoder
{
public:
    explicit HuffmanDecoder(std::span<const std::uint8_t> lengths) : m_symbols(lengths.size())
    {
        for (const std::uint8_t length : lengths)
            ++m_counts[length];
        std::array<unsigned, MaxCodeBits + 2> next{};
        for (unsigned length = 1; length <= MaxCodeBits; ++length)
            next[length + 1] = next[length] + m_counts[length];
        for (unsigned symbol = 0; symbol < lengths.size(); ++symbol)
            if (lengths[symbol] != 0)
                m_symbols[next[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
    }

    // The next symbol; nothing when the bits are no code or run past the data.
    std::optional<unsigned> decode(BitReader& bits) const
    {
        unsigned code = 0;
        unsigned first = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= MaxCodeBits; ++length) {
            const auto bit = bits.take(1);
            if (!bit)
                return std::nullopt;
            code |= *bit;
            const unsigned count = m_counts[length];
            if (code - first < count)
                return m_symbols[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return std::nullopt;
    }

private:
    std::array<unsigned, MaxCodeBits + 1> m_counts{};
    std::vector<std::uint16_t> m_symbols;
};

std::size_t utf8SequenceLength(std::span<const std::uint8_t> bytes, std::size_t at)
{
    const std::uint8_t lead = bytes[at];
    std::size_t length = 0;
    if ((lead & 0xE0) == 0xC0 && lead >= 0xC2)
        length = 2;
    else if ((lead & 0xF0) == 0xE0)
        length = 3;
    else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    // A sequence cut by the end of the proof is given the benefit of the doubt.
    const std::size_t have = std::min(length, bytes.size() - at);
    for (std::size_t i = 1; i < have; ++i)
        if ((bytes[at + i] & 0xC0) != 0x80)
            return 0;
    return have;
}

// Whether output reads as text that went through a lost window: printable ASCII, valid UTF-8,
// white space and filler, with enough that is not filler.
bool plausibleText(std::span<const std::uint8_t> output)
{
    std::size_t bad = 0;
    std::size_t filler = 0;
    for (std::size_t at = 0; at < output.size();) {
        const std::uint8_t c = output[at];
        if (c == ResyncFiller) {
            ++filler, ++at;
        } else if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F)) {
            ++at;
        } else if (const std::size_t length = c >= 0x80 ? utf8SequenceLength(output, at) : 0;
                   length > 0) {
            at += length;
        } else {
            ++bad, ++at;
        }
    }
    const std::size_t text = output.size() - filler;
    return bad * 50 <= output.size() * MaxBadFiftieths && text * 20 >= output.size();
}

} // namespace

std::optional<BlockCodes> ReadBlockHeader(std::span<const std::uint8_t> data, std::size_t headerBit)
{
    BitReader bits(data, headerBit);
    const auto final = bits.take(1);
    const auto type = bits.take(2);
    if (!final || !type || (*type != FixedBlockType && *type != DynamicBlockType))
        return std::nullopt;
    BlockCodes codes;
    codes.headerBit = headerBit;
    codes.final = *final != 0;
    if (*type == FixedBlockType) {
        codes.literalLengths.assign(MaxLengthCodes + 2, 8);
        std::fill_n(codes.literalLengths.begin() + 144, 112, 9);
        std::fill_n(codes.literalLengths.begin() + 256, 24, 7);
        codes.distanceLengths.assign(MaxDistanceCodes + 2, 5);
        codes.codesBit = bits.position();
        return codes;
    }

    const auto literalCount = bits.take(5);
    const auto distanceCount = bits.take(5);
    const auto codeLengthCount = bits.take(4);
    if (!literalCount || !distanceCount || !codeLengthCount || *literalCount > MaxCountField ||
        *distanceCount > MaxCountField)
        return std::nullopt;

    std::array<std::uint8_t, 19> codeLengthLengths{};
    for (unsigned i = 0; i < *codeLengthCount + 4; ++i) {
        const auto length = bits.take(3);
        if (!length)
            return std::nullopt;
        codeLengthLengths[CodeLengthOrder[i]] = static_cast<std::uint8_t>(*length);
    }
    if (shapeOf(codeLengthLengths) != CodeShape::Complete)
        return std::nullopt;

    const HuffmanDecoder decoder(codeLengthLengths);
    const unsigned literals = *literalCount + 257;
    const unsigned total = literals + *distanceCount + 1;
    std::array<std::uint8_t, MaxLengthCodes + MaxDistanceCodes> lengths{};
    for (unsigned filled = 0; filled < total;) {
        const auto symbol = decoder.decode(bits);
        if (!symbol)
            return std::nullopt;
        if (*symbol < 16) {
            lengths[filled++] = static_cast<std::uint8_t>(*symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        std::optional<unsigned> extra;
        unsigned times = 0;
        if (*symbol == 16) {
            if (filled == 0)
                return std::nullopt;
            repeated = lengths[filled - 1];
            extra = bits.take(2), times = 3;
        } else if (*symbol == 17) {
            extra = bits.take(3), times = 3;
        } else {
            extra = bits.take(7), times = 11;
        }
        if (!extra)
            return std::nullopt;
        times += *extra;
        if (total - filled < times)
            return std::nullopt;
        std::fill_n(lengths.begin() + filled, times, repeated);
        filled += times;
    }

    const std::span<const std::uint8_t> all(lengths.data(), total);
    const auto literalShape = shapeOf(all.first(literals));
    const auto distanceShape = shapeOf(all.subspan(literals));
    if (lengths[EndOfBlock] == 0 ||
        (literalShape != CodeShape::Complete && literalShape != CodeShape::Single) ||
        distanceShape == CodeShape::OverSubscribed || distanceShape == CodeShape::Incomplete)
        return std::nullopt;
    codes.literalLengths.assign(all.begin(), all.begin() + literals);
    codes.distanceLengths.assign(all.begin() + literals, all.end());
    codes.codesBit = bits.position();
    return codes;
}

bool IsDynamicBlockHeader(std::span<const std::uint8_t> data, BitPosition at)
{
    BitReader bits(data, at);
    (void)bits.take(1);
    const auto type = bits.take(2);
    return type && *type == DynamicBlockType && ReadBlockHeader(data, at.byte * 8 + at.bit);
}

namespace {

// Extra bits after each length symbol from 257 on, and after each distance symbol.
constexpr std::array<std::uint8_t, 29> LengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> DistanceExtraBits = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                            4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                            9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The longest symbol: a 15-bit length code with 5 extra bits, a 15-bit distance code with 13.
constexpr std::size_t LongestSymbolBits = 48;
// How many symbols one walk goes before it is given up.
constexpr std::size_t WalkSymbols = 2048;

// Walks the symbols of one block from a bit on, the way an inflater would read them.
class SymbolWalker
{
public:
    explicit SymbolWalker(const BlockCodes& codes)
        : m_literals(codes.literalLengths), m_distances(codes.distanceLengths)
    {
    }

    // The bit positions where the symbols from fromBit on start, fromBit first, ending after
    // the end-of-block symbol, at bits that are no code or after WalkSymbols symbols; `valid`
    // tells whether the walk ran into bits that are no code.
    std::vector<std::size_t> walk(std::span<const std::uint8_t> data, std::size_t fromBit,
                                  bool& valid) const
    {
        std::vector<std::size_t> starts{fromBit};
        BitReader bits(data, fromBit);
        valid = true;
        while (starts.size() <= WalkSymbols) {
            const auto symbol = m_literals.decode(bits);
            if (!symbol || *symbol > EndOfBlock + LengthExtraBits.size()) {
                // Running out of data is no fault of the walk; a bad code is.
                valid = !symbol && bits.position() == data.size() * 8;
                break;
            }
            if (*symbol > EndOfBlock) {
                const auto length = bits.take(LengthExtraBits[*symbol - EndOfBlock - 1]);
                const auto distance = m_distances.decode(bits);
                if (!length || !distance || *distance >= DistanceExtraBits.size() ||
                    !bits.take(DistanceExtraBits[*distance])) {
                    valid = false;
                    break;
                }
            }
            starts.push_back(bits.position());
            if (*symbol == EndOfBlock)
                break;
        }
        return starts;
    }

private:
    HuffmanDecoder m_literals;
    HuffmanDecoder m_distances;
};

} // namespace

std::optional<std::size_t> FindSymbolStart(std::span<const std::uint8_t> data,
                                           const BlockCodes& codes, std::size_t fromBit)
{
    const SymbolWalker walker(codes);
    std::vector<std::vector<std::size_t>> walks;
    for (std::size_t bit = fromBit; bit < fromBit + LongestSymbolBits; ++bit) {
        bool valid = false;
        auto starts = walker.walk(data, bit, valid);
        if (valid)
            walks.push_back(std::move(starts));
    }
    if (walks.empty())
        return std::nullopt;
    // The walk that goes farthest is followed; each other walk must join it.
    const auto& longest =
        *std::max_element(walks.begin(), walks.end(),
                          [](const auto& a, const auto& b) { return a.back() < b.back(); });
    // A walk that ends apart from it met a false end of block; most must join.
    std::size_t joined = longest.front();
    std::size_t joining = 0;
    for (const auto& walk : walks) {
        const auto meet = std::find_if(walk.begin(), walk.end(), [&](std::size_t at) {
            return std::binary_search(longest.begin(), longest.end(), at);
        });
        if (meet == walk.end())
            continue;
        ++joining;
        joined = std::max(joined, *meet);
    }
    if (joining * 2 < walks.size())
        return std::nullopt;
    return joined;
}

std::vector<std::uint8_t> JoinHeaderTo(std::span<const std::uint8_t> data, const BlockCodes& codes,
                                       std::size_t resumeBit)
{
    std::vector<std::uint8_t> joined;
    std::uint32_t pending = 0;
    unsigned pendingBits = 0;
    const auto put = [&](unsigned value, unsigned count) {
        pending |= value << pendingBits;
        pendingBits += count;
        while (pendingBits >= 8) {
            joined.push_back(static_cast<std::uint8_t>(pending));
            pending >>= 8;
            pendingBits -= 8;
        }
    };
    BitReader header(data, codes.headerBit);
    for (std::size_t left = codes.codesBit - codes.headerBit; left > 0;) {
        const auto count = static_cast<unsigned>(std::min<std::size_t>(left, 8));
        put(*header.take(count), count);
        left -= count;
    }
    const std::size_t end = data.size() * 8;
    if (resumeBit < end) {
        joined.reserve(joined.size() + (end - resumeBit) / 8 + 2);
        const unsigned shift = resumeBit % 8;
        const std::size_t first = resumeBit / 8;
        if (shift != 0)
            put(static_cast<unsigned>(data[first] >> shift), 8 - shift);
        for (std::size_t byte = shift != 0 ? first + 1 : first; byte < data.size(); ++byte)
            put(data[byte], 8);
    }
    if (pendingBits > 0)
        joined.push_back(static_cast<std::uint8_t>(pending));
    return joined;
}

namespace {

std::span<const std::uint8_t> fillerWindow()
{
    static const std::vector<std::uint8_t> Filler(WindowSize, ResyncFiller);
    return Filler;
}

} // namespace

bool RestartAtBit(zip::InflateStream& inflater, std::uint8_t first, unsigned bit)
{
    return bit <= 7 && inflater.RestartMidStream(fillerWindow(), 8 - bit, first >> bit);
}

std::optional<BitPosition> FindBlockStart(zip::InflateStream& inflater,
                                          std::span<const std::uint8_t> window, std::size_t from,
                                          std::size_t searchEnd)
{
    using Status = zip::InflateStream::Status;
    std::vector<std::uint8_t> proof(ResyncProofBytes);
    searchEnd = std::min(searchEnd, window.size());
    for (std::size_t byte = from; byte < searchEnd; ++byte) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (!IsDynamicBlockHeader(window, {byte, bit}) ||
                !RestartAtBit(inflater, window[byte], bit))
                continue;
            auto input = window.subspan(byte + 1);
            std::size_t produced = 0;
            Status status = Status::Progress;
            while (status == Status::Progress && produced < proof.size()) {
                const auto step = inflater.Inflate(
                    input, std::span(proof.data() + produced, proof.size() - produced));
                input = input.subspan(step.consumed);
                produced += step.produced;
                status = step.status;
            }
            const bool enough = produced == proof.size() ||
                                (status == Status::StreamEnd && produced >= MinEndedProofBytes);
            if (enough && status != Status::DataError &&
                plausibleText(std::span(proof.data(), produced)))
                return BitPosition{byte, bit};
        }
    }
    return std::nullopt;
}

namespace {

using Status = zip::InflateStream::Status;

// Each new damage costs one more search; a stream worse off than this is noise.
constexpr int MaxResyncs = 8;
// Zero bytes in a row that are taken for a wiped stretch rather than data.
constexpr std::size_t MinZeroRun = 8;
constexpr std::size_t MinWipedRun = 16;
// How far before a reported error a wiped stretch may end: inflate reads zeros as codes and
// only stumbles a little later, on the bits after them.
constexpr std::size_t ZeroRunLookBack = 512;
// How far past the damage a new block start is looked for: level 6 ends a block every 16K
// symbols, a few tens of kilobytes of compressed text at most.
constexpr std::size_t BlockSearchSpan = std::size_t{1} << 20;
constexpr std::size_t OutputChunk = 65536;
// How much text on each side of lost bytes is learned from to guess them.
constexpr std::size_t ModelSpan = std::size_t{1} << 20;

// One run of inflate over input until it ends, fails or has given maxOutput bytes, noting the
// input bit at which each new block begins.
struct Pass
{
    Status status = Status::NeedsInput;
    std::size_t consumed = 0; // input bytes
    std::vector<std::size_t> blockStarts;
};

Pass inflatePass(zip::InflateStream& inflater, std::span<const std::uint8_t> input,
                 std::vector<std::uint8_t>& output, std::size_t maxOutput)
{
    Pass pass;
    pass.status = Status::Progress;
    while (pass.status == Status::Progress && output.size() < maxOutput) {
        const std::size_t had = output.size();
        output.resize(had + std::min(OutputChunk, maxOutput - had));
        const auto step =
            inflater.Inflate(input.subspan(pass.consumed), std::span(output).subspan(had),
                             zip::InflateStream::Stop::AtBlockEdges);
        output.resize(had + step.produced);
        pass.consumed += step.consumed;
        pass.status = step.status;
        if (const auto unused = inflater.UnusedBitsAtBlockEdge();
            unused && step.status == Status::Progress)
            pass.blockStarts.push_back(pass.consumed * 8 - *unused);
    }
    return pass;
}

// Where to look for the symbols after damage reported at errorByte: past the wiped stretch
// the damage ends in, if it is one.
std::size_t pastWipedStretch(std::span<const std::uint8_t> data, std::size_t errorByte)
{
    std::size_t at = std::min(errorByte, data.size());
    while (at < data.size() && data[at] == 0)
        ++at;
    std::size_t run = 0;
    for (std::size_t i = at; i > 0 && at - i < ZeroRunLookBack; --i) {
        if (data[i - 1] != 0) {
            run = 0;
            continue;
        }
        if (++run == MinZeroRun) {
            std::size_t end = i - 1;
            while (end < data.size() && data[end] == 0)
                ++end;
            return end;
        }
    }
    return at;
}

// The stretches [first, second) of MinWipedRun or more zero bytes: compressed data holds none
// this long, damage that wipes a sector does.
std::vector<std::pair<std::size_t, std::size_t>>
wipedStretchesOf(std::span<const std::uint8_t> data)
{
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    for (std::size_t at = 0; at < data.size();) {
        if (data[at] != 0) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < data.size() && data[end] == 0)
            ++end;
        if (end - at >= MinWipedRun)
            stretches.emplace_back(at, end);
        at = end;
    }
    return stretches;
}

// The window after the first damage: the output before it and then the bytes the damage took,
// when their number is known; nothing but lost bytes otherwise.
struct GapWindow
{
    std::vector<std::uint8_t> known; // the end of the output before the damage
    std::size_t lost = 0;            // lost bytes after it
    bool adjacent = false;           // known ends where the lost bytes begin

    // The window with each lost byte i given as fill(i).
    template <typename Fill> [[nodiscard]] std::vector<std::uint8_t> with(Fill fill) const
    {
        std::vector<std::uint8_t> window(known);
        for (std::size_t i = 0; i < lost; ++i)
            window.push_back(fill(i));
        return window;
    }
};

GapWindow gapWindowAfter(const ResumedInflate& sofar, std::optional<std::size_t> lostBytes)
{
    if (!lostBytes || sofar.pieces.size() != 1 || *lostBytes >= WindowSize)
        return {{}, WindowSize, false};
    const auto& before = sofar.pieces.front();
    const std::size_t kept = std::min(before.size(), WindowSize - *lostBytes);
    return {{before.end() - static_cast<std::ptrdiff_t>(kept), before.end()}, *lostBytes, true};
}

// What inflating input after a restart with window gives, up to size bytes.
std::vector<std::uint8_t> inflateWith(std::span<const std::uint8_t> input,
                                      std::span<const std::uint8_t> window, std::size_t size)
{
    std::vector<std::uint8_t> output(size);
    zip::InflateStream inflater;
    std::size_t produced = 0;
    if (!inflater.IsValid() || !inflater.RestartMidStream(window, 0, 0))
        return output;
    for (auto status = Status::Progress; status == Status::Progress && produced < size;) {
        const auto step = inflater.Inflate(input, std::span(output).subspan(produced));
        input = input.subspan(step.consumed);
        produced += step.produced;
        status = step.status;
    }
    return output;
}

// Puts guesses for the lost bytes into piece, the output that came right after them: inflated
// again with each lost byte standing for its own place, the output shows which of its bytes
// are copies of which lost byte, and the text around those copies tells what they were.
void fillLostBytes(std::span<const std::uint8_t> input, const GapWindow& gap,
                   std::span<const std::uint8_t> before, std::vector<std::uint8_t>& piece)
{
    // Without the number of lost bytes the text before them is not where the copies point, and
    // guesses from the copies alone are seldom clear enough to be worth the work.
    if (!gap.adjacent)
        return;
    const auto low = inflateWith(
        input, gap.with([](std::size_t i) { return static_cast<std::uint8_t>(i); }), piece.size());
    const auto high = inflateWith(
        input, gap.with([](std::size_t i) { return static_cast<std::uint8_t>(i >> 8); }),
        piece.size());
    const auto other = inflateWith(
        input, gap.with([](std::size_t) { return static_cast<std::uint8_t>(ResyncFiller + 1); }),
        piece.size());
    std::vector<std::int32_t> source(piece.size(), KnownByte);
    for (std::size_t i = 0; i < piece.size(); ++i)
        if (piece[i] != other[i])
            source[i] = static_cast<std::int32_t>(high[i] << 8 | low[i]);
    // The model learns from the text around the lost bytes (the text before borders them only
    // when their number is known); a stretch of that text on each side is plenty to learn from
    // and keeps the model small for parts of any size.
    const auto context = before.last(std::min(before.size(), ModelSpan));
    const std::size_t learned = std::min(piece.size(), ModelSpan);
    const auto guesses = GuessLostBytes(context, gap.lost, std::span(piece).first(learned),
                                        std::span(source).first(learned), gap.adjacent);
    for (std::size_t i = 0; i < piece.size(); ++i)
        if (source[i] != KnownByte && guesses[static_cast<std::size_t>(source[i])] >= 0)
            piece[i] = static_cast<std::uint8_t>(guesses[static_cast<std::size_t>(source[i])]);
}

} // namespace

ResumedInflate InflateAcrossDamage(std::span<const std::uint8_t> data, std::size_t maxOutput,
                                   std::optional<std::size_t> lostBytes)
{
    ResumedInflate result;
    zip::InflateStream inflater;
    if (!inflater.IsValid())
        return result;
    // The input of a pass is data itself, or a block's header put before a later bit of data;
    // input bit j past the header bits stands for bit base + j - headerBits of data.
    std::span<const std::uint8_t> input = data;
    std::vector<std::uint8_t> joined;
    std::size_t headerBits = 0;
    std::size_t base = 0;
    std::size_t blockHeader = 0; // where the header of the block being inflated begins
    std::size_t total = 0;
    const auto wiped = wipedStretchesOf(data);
    // The first damage after which the stream was picked up, for guessing what it took.
    std::optional<GapWindow> firstGap;
    std::size_t firstGapPiece = 0;
    std::vector<std::uint8_t> firstGapInput;
    for (int resync = 0;; ++resync) {
        // A wiped stretch inflates as codes all the same, which rarely fails at once but yields
        // nonsense and throws the stream off the symbols after it: inflate stops before it.
        const auto stretch = std::find_if(wiped.begin(), wiped.end(),
                                          [&](const auto& w) { return w.first * 8 > base; });
        const std::size_t limit =
            stretch == wiped.end()
                ? input.size()
                : std::min(input.size(), (headerBits + stretch->first * 8 - base + 7) / 8);
        std::vector<std::uint8_t> piece;
        Pass pass = inflatePass(inflater, input.first(limit), piece, maxOutput - total);
        if (firstGap && firstGapInput.empty()) {
            // The pass right after the first damage: what it read is kept for the guesses, and
            // a pass that gave nothing leaves nothing to guess for.
            if (piece.empty())
                firstGap.reset();
            else
                firstGapInput.assign(input.begin(),
                                     input.begin() + static_cast<std::ptrdiff_t>(limit));
            firstGapPiece = result.pieces.size();
        }
        const auto dataBit = [&](std::size_t bit) {
            return bit < headerBits ? blockHeader : base + bit - headerBits;
        };
        if (stretch != wiped.end() && pass.status == Status::NeedsInput && pass.consumed == limit)
            pass.status = Status::DataError, pass.consumed = limit;
        for (const std::size_t start : pass.blockStarts)
            blockHeader = dataBit(start);
        total += piece.size();
        if (!piece.empty() || resync == 0)
            result.pieces.push_back(std::move(piece));
        result.ended = pass.status == Status::StreamEnd;
        if (result.ended)
            result.endByte = dataBit(pass.consumed * 8) / 8;
        if (pass.status != Status::DataError || resync == MaxResyncs || total >= maxOutput)
            break;

        const std::size_t errorByte = stretch != wiped.end() && pass.consumed == limit
                                          ? stretch->second
                                          : dataBit(pass.consumed * 8) / 8;
        const std::size_t from = pastWipedStretch(data, errorByte);
        const auto codes = ReadBlockHeader(data, blockHeader);
        const auto resume =
            codes && from < data.size() ? FindSymbolStart(data, *codes, from * 8) : std::nullopt;
        if (resume) {
            joined = JoinHeaderTo(data, *codes, *resume);
            headerBits = codes->codesBit - codes->headerBit;
            base = *resume;
            input = joined;
            const GapWindow gap = gapWindowAfter(result, lostBytes);
            if (!inflater.RestartMidStream(gap.with([](std::size_t) { return ResyncFiller; }), 0,
                                           0))
                break;
            if (!firstGap && firstGapInput.empty() && result.pieces.size() == 1)
                firstGap = gap;
            continue;
        }
        // The codes are lost with the damage: a later block brings its own.
        const std::size_t searchFrom = errorByte > 0 ? errorByte - 1 : 0;
        if (searchFrom >= data.size())
            break;
        const auto window = data.subspan(searchFrom);
        const auto start =
            FindBlockStart(inflater, window, 0, std::min(window.size(), BlockSearchSpan));
        if (!start || !RestartAtBit(inflater, window[start->byte], start->bit))
            break;
        blockHeader = (searchFrom + start->byte) * 8 + start->bit;
        input = window.subspan(start->byte + 1);
        headerBits = 0;
        base = (searchFrom + start->byte + 1) * 8;
    }
    if (firstGap && firstGapPiece < result.pieces.size() && !firstGapInput.empty())
        fillLostBytes(firstGapInput, *firstGap, result.pieces.front(),
                      result.pieces[firstGapPiece]);
    return result;
}

} // namespace salvage
