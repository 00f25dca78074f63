// Guesses the bytes a damaged stream lost from how the output after the damage uses them. After
// the damage deflate keeps copying strings out of the lost stretch; each copy shows the lost
// bytes amid known text, and text as repetitive as an XML part's tells what most of them were:
// the bytes that follow (and precede) the same few known bytes elsewhere in the part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace salvage {

// Marks an output byte as known; any other value names the lost byte it is a copy of.
constexpr std::int32_t KnownByte = -1;

// Fills in the lost bytes where the text around their uses makes them clear.
// before: the text right before the lost stretch; lostCount: the length of the lost stretch,
// which comes right after `before`; output: the text right after the lost stretch, in which
// the bytes with source[i] != KnownByte are copies of lost byte source[i] (their values in
// output do not matter). Returns the guessed value of each lost byte, or -1 where no guess
// was clear enough. When `adjacent` is false, before is text from further back that only
// teaches what the part's text looks like.
[[nodiscard]] std::vector<int> GuessLostBytes(std::span<const std::uint8_t> before,
                                              std::size_t lostCount,
                                              std::span<const std::uint8_t> output,
                                              std::span<const std::int32_t> source,
                                              bool adjacent = true);

} // namespace salvage
