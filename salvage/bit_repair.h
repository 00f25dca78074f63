// Mends a deflated entry spoilt by one flipped bit. The damage shows where it is only roughly:
// inflate stumbles, or the text it gives stops making sense, a little after the flip. Each bit
// shortly before that point is flipped back in turn and the stream inflated to its end; the one
// flip after which the output has the entry's size and CRC-32 is the damage, and the entry
// comes back whole and checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace salvage {

struct Checksum
{
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
};

// The bit of data within [fromBit, toBit) whose flip makes data inflate to exactly `expected`;
// nothing when no single flip there does, or when trying would inflate more than maxWork bytes.
// The last bits are tried first.
[[nodiscard]] std::optional<std::size_t> FindFlippedBit(std::span<const std::uint8_t> data,
                                                        std::size_t fromBit, std::size_t toBit,
                                                        Checksum expected, std::size_t maxWork);

// How far, from its start, a stretch of output reads the way the entry's text must; its first
// `unchanged` bytes are the same for every try of one search.
using ReadsUntil = std::function<std::size_t(std::string_view output, std::size_t unchanged)>;

// For an entry spoilt by several flipped bits, which no single flip makes check: the bits of
// data within [fromBit, toBit) whose flip makes its output read, as readsUntil judges it,
// furthest past `reach` output bytes (where it stopped reading before), by at least a little;
// several flips can read on as far, and at most MaxFlipsThatReadOn of them come back, the last
// bits first (the damage shows soon after its flip). Each try inflates at most a few KiB past
// reach, and only as long as workLeft lasts (bytes inflated and judged), which the search uses
// up as it goes.
inline constexpr std::size_t MaxFlipsThatReadOn = 4;
[[nodiscard]] std::vector<std::size_t>
FindFlipsThatReadOn(std::span<const std::uint8_t> data, std::size_t fromBit, std::size_t toBit,
                    std::size_t reach, const ReadsUntil& readsUntil, std::size_t& workLeft);

// The bit of stored data whose flip gives it the CRC-32 `expected`, found from how far its
// CRC-32 is off: a CRC-32 tells apart every single-bit change of a message shorter than 512 MiB.
// Several flipped bits can pass for one, so the caller must check the result another way or
// keep to messages short enough that this is unlikely.
[[nodiscard]] std::optional<std::size_t> FindFlippedBitByCrc(std::span<const std::uint8_t> data,
                                                             std::uint32_t expected);

// Whether data is a PNG file whose chunks all carry their right CRC-32, up to its end chunk.
[[nodiscard]] bool IsSoundPng(std::span<const std::uint8_t> data);

// The input byte of data in which inflating it gives its first `output` bytes: where output
// at that point came from. Nothing when the stream ends or fails sooner.
[[nodiscard]] std::optional<std::size_t> InputByteAtOutput(std::span<const std::uint8_t> data,
                                                           std::size_t output);

} // namespace salvage
