// Drops references to package files that did not survive. LibreOffice refuses to load a drawing
// whose frame points at a picture that is not in the package, while an empty frame loads.
#pragma once

#include <cstddef>
#include <string>

namespace content {

// Removes from the XML part at partPath every element whose xlink:href names a file or folder
// of the package that is missing below tree (which ends with a separator). External links
// (with a scheme, or absolute) and in-document links ("#...") stay. Returns how many elements
// were removed; the part is rewritten only when that is not 0. A part that does not parse is
// left alone.
std::size_t DropMissingReferences(const std::string& partPath, const std::string& tree);

// The path inside the package that an xlink:href names ("./Pictures/a.png" names
// "Pictures/a.png"), or empty when it points outside the package or nowhere.
[[nodiscard]] std::string PackagePathOf(std::string href);

} // namespace content
