#include "salvage/bit_repair.h"

#include "zip/inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace salvage {

namespace {

using Status = zip::InflateStream::Status;

constexpr std::size_t OutputChunk = 65536;

struct Inflated
{
    Status status = Status::Progress;
    std::uint32_t crc = 0;
    std::size_t size = 0;
};

// Inflates all of input with stream, adding its output to sofar's CRC-32 and size; stops at the
// end of the stream, at damage or once more than limit bytes have come out.
Inflated inflateAll(zip::InflateStream& stream, std::span<const std::uint8_t> input, Inflated sofar,
                    std::size_t limit, std::vector<std::uint8_t>& buffer)
{
    sofar.status = Status::Progress;
    while (sofar.status == Status::Progress && sofar.size <= limit) {
        const auto step = stream.Inflate(input, buffer);
        input = input.subspan(step.consumed);
        sofar.crc = static_cast<std::uint32_t>(
            crc32(sofar.crc, buffer.data(), static_cast<uInt>(step.produced)));
        sofar.size += step.produced;
        sofar.status = step.status;
        if (sofar.status == Status::NeedsInput && input.empty())
            break;
    }
    return sofar;
}

} // namespace

std::optional<std::size_t> FindFlippedBit(std::span<const std::uint8_t> data, std::size_t fromBit,
                                          std::size_t toBit, Checksum expected, std::size_t maxWork)
{
    toBit = std::min(toBit, data.size() * 8);
    if (fromBit >= toBit)
        return std::nullopt;
    // Everything before the first candidate inflates the same for every candidate: once.
    const std::size_t checkpoint = fromBit / 8;
    zip::InflateStream before;
    std::vector<std::uint8_t> buffer(OutputChunk);
    if (!before.IsValid())
        return std::nullopt;
    const Inflated prefix = inflateAll(before, data.first(checkpoint), {}, expected.size, buffer);
    if (prefix.status != Status::NeedsInput && prefix.status != Status::Progress)
        return std::nullopt;

    std::vector<std::uint8_t> rest(data.begin() + static_cast<std::ptrdiff_t>(checkpoint),
                                   data.end());
    // The flip most likely lies just before where the damage showed: the last bits first.
    std::size_t work = 0;
    for (std::size_t bit = toBit; bit-- > fromBit && work <= maxWork;) {
        auto stream = before.Copy();
        if (!stream)
            return std::nullopt;
        const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
        rest[bit / 8 - checkpoint] ^= mask;
        const Inflated tried = inflateAll(*stream, rest, prefix, expected.size, buffer);
        rest[bit / 8 - checkpoint] ^= mask;
        work += tried.size - prefix.size;
        if (tried.status == Status::StreamEnd && tried.size == expected.size &&
            tried.crc == expected.crc)
            return bit;
    }
    return std::nullopt;
}

std::vector<std::size_t> FindFlipsThatReadOn(std::span<const std::uint8_t> data,
                                             std::size_t fromBit, std::size_t toBit,
                                             std::size_t reach, const ReadsUntil& readsUntil,
                                             std::size_t& workLeft)
{
    // Far enough to take a flip for the one that was made: the next flip's damage seldom comes
    // sooner. A flip that reads on only a little is no better than one that changes a letter.
    constexpr std::size_t Window = 4096;
    constexpr std::size_t Margin = 512;
    constexpr std::size_t Glance = 2 * Margin; // longer than most tags
    toBit = std::min(toBit, data.size() * 8);
    if (fromBit >= toBit)
        return {};
    const std::size_t checkpoint = fromBit / 8;
    zip::InflateStream before;
    if (!before.IsValid())
        return {};
    std::string text(reach + Window, '\0');
    std::size_t prefix = 0;
    for (auto input = data.first(checkpoint); !input.empty();) {
        const auto step =
            before.Inflate(input, std::span(reinterpret_cast<std::uint8_t*>(text.data()) + prefix,
                                            text.size() - prefix));
        input = input.subspan(step.consumed);
        prefix += step.produced;
        if (step.status != Status::Progress && step.status != Status::NeedsInput)
            return {};
        if (step.consumed == 0 && step.produced == 0)
            break;
    }

    std::vector<std::uint8_t> rest(data.begin() + static_cast<std::ptrdiff_t>(checkpoint),
                                   data.end());
    std::vector<std::size_t> best;
    std::size_t furthest = reach + Margin;
    for (std::size_t bit = toBit; bit-- > fromBit && workLeft > 0;) {
        auto stream = before.Copy();
        if (!stream)
            return {};
        const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
        rest[bit / 8 - checkpoint] ^= mask;
        std::size_t produced = prefix;
        std::span<const std::uint8_t> input = rest;
        auto status = Status::Progress;
        const auto inflateTo = [&](std::size_t limit) {
            while (status == Status::Progress && produced < limit) {
                const auto step = stream->Inflate(
                    input, std::span(reinterpret_cast<std::uint8_t*>(text.data()) + produced,
                                     limit - produced));
                input = input.subspan(step.consumed);
                produced += step.produced;
                status = step.status;
            }
        };
        // Most flips do not even read past where the text stopped before: a short look first.
        inflateTo(std::min(text.size(), reach + Glance));
        std::size_t reads = readsUntil(std::string_view(text).substr(0, produced), prefix);
        if (reads > reach || status != Status::Progress) {
            inflateTo(text.size());
            reads = readsUntil(std::string_view(text).substr(0, produced), prefix);
        }
        rest[bit / 8 - checkpoint] ^= mask;
        workLeft -= std::min(workLeft, 2 * (produced - prefix));
        // Reading to where the try stopped counts the same however the last tag fell; damage
        // close to the end: the stream that ends reading well is as good as any.
        if (reads + Margin >= text.size() ||
            (status == Status::StreamEnd && reads == produced && reads > reach))
            reads = text.size();
        if (reads > furthest) {
            furthest = reads;
            best.clear();
        }
        if (reads == furthest && best.size() < MaxFlipsThatReadOn)
            best.push_back(bit);
    }
    return best;
}

std::optional<std::size_t> FindFlippedBitByCrc(std::span<const std::uint8_t> data,
                                               std::uint32_t expected)
{
    // Changing a message by e changes its CRC-32 by the CRC-32 of e with a zero start and no
    // final inversion. For one bit b of byte k that is the register after the byte 1 << b,
    // taken on through the n - 1 - k zero bytes after it: walked back from the last byte.
    const std::uint32_t difference =
        static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))) ^
        expected;
    if (difference == 0 || data.empty() || data.size() >= (std::size_t{1} << 26))
        return std::nullopt;
    const z_crc_t* table = get_crc_table();
    std::array<std::uint32_t, 8> registers{};
    for (unsigned bit = 0; bit < 8; ++bit)
        registers[bit] = static_cast<std::uint32_t>(table[1u << bit]);
    for (std::size_t fromEnd = 0; fromEnd < data.size(); ++fromEnd) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (registers[bit] == difference)
                return (data.size() - 1 - fromEnd) * 8 + bit;
            registers[bit] =
                static_cast<std::uint32_t>(table[registers[bit] & 0xFFu]) ^ (registers[bit] >> 8);
        }
    }
    return std::nullopt;
}

bool IsSoundPng(std::span<const std::uint8_t> data)
{
    static constexpr std::array<std::uint8_t, 8> Signature = {0x89, 'P',  'N',  'G',
                                                              '\r', '\n', 0x1A, '\n'};
    if (data.size() < Signature.size() ||
        !std::equal(Signature.begin(), Signature.end(), data.begin()))
        return false;
    const auto big32 = [&](std::size_t at) {
        return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
               std::uint32_t{data[at + 2]} << 8 | std::uint32_t{data[at + 3]};
    };
    for (std::size_t at = Signature.size(); data.size() - at >= 12;) {
        const std::size_t length = big32(at);
        if (length > data.size() - at - 12)
            return false;
        const auto typed = data.subspan(at + 4, 4 + length);
        if (static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))) !=
            big32(at + 8 + length))
            return false;
        if (std::equal(typed.begin(), typed.begin() + 4, "IEND"))
            return true;
        at += 12 + length;
    }
    return false;
}

std::optional<std::size_t> InputByteAtOutput(std::span<const std::uint8_t> data, std::size_t output)
{
    // Inflate stops once its output is full, handing back the input it had read ahead.
    zip::InflateStream stream;
    std::vector<std::uint8_t> buffer(std::min<std::size_t>(output, OutputChunk));
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (stream.IsValid() && produced < output) {
        const std::size_t room = std::min(buffer.size(), output - produced);
        const auto step = stream.Inflate(data.subspan(consumed), std::span(buffer).first(room));
        consumed += step.consumed;
        produced += step.produced;
        if (step.status != Status::Progress || (step.consumed == 0 && step.produced == 0))
            break;
    }
    if (produced < output || consumed == 0)
        return output == 0 && !data.empty() ? std::optional<std::size_t>(0) : std::nullopt;
    return consumed - 1;
}

} // namespace salvage
