// Joins the XML picked up after a gap in a part to the XML before the gap. What comes after the
// gap starts somewhere inside the document and closes elements it never opened; those closes
// tell which of the elements left open before the gap it goes on in. Bytes that were lost inside
// what came after are marked with a filler byte: tags they damage are mended or dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace content {

// Returns `before`, cut back to its last sound point, followed by what of `after` can be put
// in place: the elements of `before` deeper than where `after` goes on are closed, the start of
// `after` up to that level is dropped, and its closes of elements it never opened name the
// elements of `before` they close. Elements still open at the end stay open, so that the result
// can take another piece; the XML mending closes them. When nothing of `after` fits, `before`
// comes back cut back to its last sound point. Words from a drawing's content part (said by
// contentPart, or shown by its root's start tag cut in `before`) whose root element was lost go
// into an otherwise empty drawing.
[[nodiscard]] std::string SpliceAfterGap(std::string_view before, std::string_view after,
                                         char filler, bool contentPart = false);

// How much of xml, from its start, is sound: the whole of a well-formed document, else the part
// up to the first thing that cannot be read on from.
[[nodiscard]] std::size_t SoundLength(std::string_view xml);

// SoundLength for many texts that begin with the same bytes, which are read only once.
class SoundReader
{
public:
    explicit SoundReader(std::string_view shared);
    // xml begins with the shared bytes.
    [[nodiscard]] std::size_t SoundLength(std::string_view xml) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// How far into xml its first damage has certainly shown: the end of the first thing that cannot
// be read on from (so the damage itself lies before it), or the size of xml when it is sound up
// to its end, where the damage may be the end coming too soon.
[[nodiscard]] std::size_t DamageShownBy(std::string_view xml);

} // namespace content
