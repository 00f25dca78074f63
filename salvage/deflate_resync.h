// Picks a damaged deflate stream up again after the damage. Within the damaged block the codes
// its header gave still hold: the symbols after the damage are found again by walking them from
// every bit at once until the walks meet, and the block's header is put in front of them so that
// zlib decodes on from there. Failing that, a later block with dynamic Huffman codes carries its
// own codes and decodes without anything before it except the 32 KiB window. The lost window is
// stood in for by ResyncFiller bytes, so output that still refers back into the lost data shows
// up as filler and the caller can drop it.
#pragma once

#include "zip/inflate_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

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

// The codes of one block of Huffman-coded deflate data, as its header gives them.
struct BlockCodes
{
    std::size_t headerBit = 0; // the header's first bit, counted from the start of the data
    std::size_t codesBit = 0;  // the first bit after the header: the block's first symbol
    bool final = false;
    std::vector<std::uint8_t> literalLengths;  // code length of each literal/length symbol
    std::vector<std::uint8_t> distanceLengths; // code length of each distance symbol
};

// Reads the header of a block with fixed or dynamic Huffman codes starting at bit `headerBit`;
// nothing for a stored block, a header zlib would refuse or one cut short by the end of data.
[[nodiscard]] std::optional<BlockCodes> ReadBlockHeader(std::span<const std::uint8_t> data,
                                                        std::size_t headerBit);

// The first bit at or after fromBit where a symbol of a block coded with codes surely starts.
// Any stretch of bits as long as the longest symbol holds a symbol start, so walks begun at each
// of those bits include the true one; walks through coded data meet within a few symbols and
// then go on as one, so where the last of them joins lies on every walk, the true one included.
// Nothing when the walks do not meet, or run into bits that are no code before they do.
[[nodiscard]] std::optional<std::size_t>
FindSymbolStart(std::span<const std::uint8_t> data, const BlockCodes& codes, std::size_t fromBit);

// A deflate stream that zlib decodes as the block of codes going on at resumeBit: the bits of
// the block's header followed by the bits of data from resumeBit to its end.
[[nodiscard]] std::vector<std::uint8_t>
JoinHeaderTo(std::span<const std::uint8_t> data, const BlockCodes& codes, std::size_t resumeBit);

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

// What a damaged deflate stream gives: the output before the first damage, then the output
// picked up after each damage, in which ResyncFiller stands for every byte that came from
// the lost window.
struct ResumedInflate
{
    std::vector<std::vector<std::uint8_t>> pieces;
    bool ended = false;      // the last piece reaches the end of the stream
    std::size_t endByte = 0; // once ended: about where the stream ends in data (within a byte)
};

// Inflates data, one entry's compressed bytes, going on after each damage as long as the
// stream can be picked up again, until maxOutput bytes have come out in all. When the stream
// was damaged once and how many output bytes that damage took is known (from the entry's
// size), lostBytes gives it: the window after the damage then holds the output before it, so
// that references across the damage come out right, and only those into the lost bytes as
// filler.
[[nodiscard]] ResumedInflate InflateAcrossDamage(std::span<const std::uint8_t> data,
                                                 std::size_t maxOutput,
                                                 std::optional<std::size_t> lostBytes = {});

} // namespace salvage
