// Mends the salvaged package tree before it is packed, so that LibreOffice will open it: XML
// parts cut short are closed, parts with nothing usable are dropped, references to pictures
// that did not survive are removed, a drawing without styles gets a page that holds its shapes,
// and the mimetype and manifest are made to agree.
#pragma once

#include <string>
#include <vector>

namespace content {

struct PackageRepairReport
{
    std::vector<std::string> repairedParts; // XML parts cut back to what parses
    std::vector<std::string> droppedParts;  // XML parts with nothing usable, removed
    std::vector<std::string> lostParts;     // listed by the manifest but not in the package
    std::size_t droppedReferences = 0;      // elements that named a missing file
    bool mimetypeRestored = false;
    bool manifestRebuilt = false; // written from scratch
    bool manifestChanged = false; // entries dropped or added
    bool stylesRebuilt = false;   // a stand-in written for a styles part lost or dropped
};

// tree ends with a separator. Does nothing to a tree without any file.
PackageRepairReport RepairPackageTree(const std::string& tree);

} // namespace content
