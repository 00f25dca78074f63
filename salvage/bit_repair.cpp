#include "salvage/bit_repair.h"

#include "zip/inflate_stream.h"

#include <zlib.h>

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

std::optional<std::size_t> InputByteAtOutput(std::span<const std::uint8_t> data, std::size_t output)
{
    zip::InflateStream stream;
    std::vector<std::uint8_t> buffer(OutputChunk);
    std::size_t produced = 0;
    for (std::size_t byte = 0; byte < data.size() && stream.IsValid(); ++byte) {
        // One input byte at a time, so that the output it gives is known to come from it.
        for (auto status = Status::Progress; status == Status::Progress;) {
            const auto step = stream.Inflate(data.subspan(byte, 1), buffer);
            produced += step.produced;
            status = step.status;
            if (step.consumed == 1)
                break;
        }
        if (produced >= output)
            return byte;
    }
    return std::nullopt;
}

} // namespace salvage
