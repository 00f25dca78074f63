#include "salvage/deflate_resync.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace salvage {

namespace {

constexpr std::size_t WindowSize = 32768;

constexpr unsigned DynamicBlockType = 2;
constexpr unsigned MaxLengthCodes = 286; // 257 + the 5-bit HLIT, at most 29
constexpr unsigned MaxDistanceCodes = 30;
constexpr unsigned MaxCountField = 29;
constexpr unsigned MaxCodeBits = 15;
constexpr unsigned MaxCodeLengthBits = 7;
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
    BitReader(std::span<const std::uint8_t> data, BitPosition at)
        : m_data(data), m_bit(at.byte * 8 + at.bit)
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

// Canonical decoding of the code-length code, one bit at a time.
class CodeLengthDecoder
{
public:
    explicit CodeLengthDecoder(std::span<const std::uint8_t, 19> lengths)
    {
        for (const std::uint8_t length : lengths)
            ++m_counts[length];
        std::array<unsigned, MaxCodeLengthBits + 2> next{};
        for (unsigned length = 1; length <= MaxCodeLengthBits; ++length)
            next[length + 1] = next[length] + m_counts[length];
        for (unsigned symbol = 0; symbol < lengths.size(); ++symbol)
            if (lengths[symbol] != 0)
                m_symbols[next[lengths[symbol]]++] = static_cast<std::uint8_t>(symbol);
    }

    std::optional<unsigned> decode(BitReader& bits) const
    {
        unsigned code = 0;
        unsigned first = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= MaxCodeLengthBits; ++length) {
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
    std::array<unsigned, MaxCodeLengthBits + 1> m_counts{};
    std::array<std::uint8_t, 19> m_symbols{};
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

bool IsDynamicBlockHeader(std::span<const std::uint8_t> data, BitPosition at)
{
    BitReader bits(data, at);
    const auto final = bits.take(1);
    const auto type = bits.take(2);
    const auto literalCount = bits.take(5);
    const auto distanceCount = bits.take(5);
    const auto codeLengthCount = bits.take(4);
    if (!final || !type || !literalCount || !distanceCount || !codeLengthCount ||
        *type != DynamicBlockType || *literalCount > MaxCountField ||
        *distanceCount > MaxCountField)
        return false;

    std::array<std::uint8_t, 19> codeLengthLengths{};
    for (unsigned i = 0; i < *codeLengthCount + 4; ++i) {
        const auto length = bits.take(3);
        if (!length)
            return false;
        codeLengthLengths[CodeLengthOrder[i]] = static_cast<std::uint8_t>(*length);
    }
    if (shapeOf(codeLengthLengths) != CodeShape::Complete)
        return false;

    const CodeLengthDecoder decoder(codeLengthLengths);
    const unsigned literals = *literalCount + 257;
    const unsigned total = literals + *distanceCount + 1;
    std::array<std::uint8_t, MaxLengthCodes + MaxDistanceCodes> lengths{};
    for (unsigned filled = 0; filled < total;) {
        const auto symbol = decoder.decode(bits);
        if (!symbol)
            return false;
        if (*symbol < 16) {
            lengths[filled++] = static_cast<std::uint8_t>(*symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        std::optional<unsigned> extra;
        unsigned times = 0;
        if (*symbol == 16) {
            if (filled == 0)
                return false;
            repeated = lengths[filled - 1];
            extra = bits.take(2), times = 3;
        } else if (*symbol == 17) {
            extra = bits.take(3), times = 3;
        } else {
            extra = bits.take(7), times = 11;
        }
        if (!extra)
            return false;
        times += *extra;
        if (total - filled < times)
            return false;
        std::fill_n(lengths.begin() + filled, times, repeated);
        filled += times;
    }

    const std::span<const std::uint8_t> all(lengths.data(), total);
    const auto literalShape = shapeOf(all.first(literals));
    const auto distanceShape = shapeOf(all.subspan(literals));
    return lengths[EndOfBlock] != 0 &&
           (literalShape == CodeShape::Complete || literalShape == CodeShape::Single) &&
           distanceShape != CodeShape::OverSubscribed && distanceShape != CodeShape::Incomplete;
}

bool RestartAtBit(zip::InflateStream& inflater, std::uint8_t first, unsigned bit)
{
    static const std::vector<std::uint8_t> Filler(WindowSize, ResyncFiller);
    return bit <= 7 && inflater.RestartMidStream(Filler, 8 - bit, first >> bit);
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

} // namespace salvage
