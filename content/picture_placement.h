// Shows the pictures a damaged drawing still holds but no longer places. When the shapes that
// framed them were lost with the content part, LibreOffice keeps the pictures out of sight; each
// gets a page of its own at the end of the drawing instead, and a drawing that lost its content
// part altogether gets a new one holding just these pages.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace content {

struct PictureSize
{
    double width = 0; // centimetres
    double height = 0;
};

// The size a picture has at its own resolution (96 pixels an inch when it names none), read from
// the start of a PNG, JPEG, GIF or SVG file; nothing for any other file or a header cut short.
[[nodiscard]] std::optional<PictureSize> NaturalSizeOf(std::string_view bytes);

struct PicturePlacement
{
    std::size_t placed = 0;      // pictures given a page of their own
    bool contentRebuilt = false; // a content part written for a drawing that had none
};

// Gives every file in tree's Pictures/ folder that neither content.xml nor styles.xml names a
// page of its own after the drawing's last one, scaled down to fit the printable area of that
// page's master. tree ends with a separator; mediaType is the package's. Without content.xml a
// drawing (or, for a presentation's media type, a presentation) is written to hold the pages; a
// content part of any other kind of document, or one that does not parse, is left alone.
[[nodiscard]] PicturePlacement PlaceUnshownPictures(const std::string& tree,
                                                    const std::string& mediaType);

} // namespace content
