// Writes a stand-in styles part for a drawing that lost its own. Without one LibreOffice lays the
// drawing out on its small default page and leaves every shape beyond it out of the rendering, so
// the stand-in's page is made large enough to hold every shape the content part places.
#pragma once

#include <string>

namespace content {

// Writes styles.xml below tree (which ends with a separator) when there is none and content.xml
// is a well-formed drawing or presentation: one page layout (1 cm margins, at least A4 portrait)
// that covers every shape of the pages, and a master page for each master page name the pages
// use ("Default" when none names one). Returns whether it wrote the part; a tree holding any
// other kind of document, or no usable content part, is left alone.
[[nodiscard]] bool RebuildStyles(const std::string& tree);

} // namespace content
