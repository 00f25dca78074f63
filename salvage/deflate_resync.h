// Picks a damaged deflate stream up again after the damage: a later block with dynamic Huffman
// codes carries its own codes, so it decodes without anything before it except the 32 KiB window.
// The lost window is stood in for by ResyncFiller bytes, so output that still refers back into
// the lost data shows up as filler and the caller can drop it.
#pragma once

#include "zip/inflate_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct z_stream_s;

namespace salvage {

// Stands in for every byte of the lost window; a control character no XML part holds.
constexpr std::uint8_t ResyncFiller = 0x01;

// A bit position in a byte range: bit 0 is the least significant bit, read first by deflate.
struct BitPosition
{
    std::size_t byte = 0;
    unsigned bit = 0;
};

// Whether the bits from `at` on begin a dynamic-Huffman block header whose three codes zlib
// would accept: the code-length code complete, the literal/length code complete (or a single
// code) with an end-of-block code, the distance code complete or a single code. False when the
// header runs past the end of data.
[[nodiscard]] bool IsDynamicBlockHeader(std::span<const std::uint8_t> data, BitPosition at);

// The one owner of a raw inflate stream that starts at any bit position with a window of
// ResyncFiller bytes. Steps report like zip::InflateStream's.
// Restarts inflater at bit `bit` of the byte `first`, with a window of filler standing in for
// the lost output; the next input is the byte after `first`. False when zlib refused.
[[nodiscard]] bool RestartAtBit(zip::InflateStream& inflater, std::uint8_t first, unsigned bit);

// Looks for the first bit position in window[from, searchEnd) where a block starts from which
// the stream inflates at least ResyncProofBytes of plausible text (or to its end) with nothing
// but window bytes as input. Returns nothing when no position passes.
[[nodiscard]] std::optional<BitPosition> FindBlockStart(zip::InflateStream& inflater,
                                                        std::span<const std::uint8_t> window,
                                                        std::size_t from, std::size_t searchEnd);

// Bytes a candidate block start must inflate to before it is believed.
constexpr std::size_t ResyncProofBytes = 4096;

} // namespace salvage
