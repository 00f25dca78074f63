// Makes a package's manifest and mimetype agree with the parts that survived. LibreOffice
// refuses a package without META-INF/manifest.xml or with an entry the manifest does not list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace content {

inline constexpr std::string_view DrawingMediaType = "application/vnd.oasis.opendocument.graphics";

// The document's media type: the "mimetype" file's when it holds a valid one, else the
// manifest's root entry's, else a drawing's. tree ends with a separator.
[[nodiscard]] std::string DocumentMediaType(const std::string& tree);

// Writes "mimetype" holding mediaType unless it already holds a valid media type. Returns
// whether it wrote one.
bool RestoreMimetype(const std::string& tree, const std::string& mediaType);

struct ManifestRepair
{
    bool rebuilt = false;    // written from scratch: missing or unreadable
    bool changed = false;    // the file was written (rebuilt, or entries dropped or added)
    std::size_t dropped = 0; // entries for parts that are gone
    std::vector<std::string> droppedPaths; // their full paths
    std::size_t added = 0;                 // entries for parts found but not listed
};

// Keeps a readable manifest but drops the entries of parts that are missing and adds entries
// for parts found that it does not list (media types by extension); writes a new one listing
// every part when it is missing or unreadable. A manifest that already agrees is left byte
// for byte. "mimetype" and META-INF/ are never listed.
ManifestRepair RepairManifest(const std::string& tree, const std::string& mediaType);

} // namespace content
