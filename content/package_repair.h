// Mends the salvaged package tree before it is packed, so that LibreOffice will open it: XML
// parts cut short are closed, parts with nothing usable are dropped, references to pictures
// that did not survive are removed, pictures whose frames were lost get pages of their own, a
// drawing without styles gets a page that holds its shapes, and the mimetype and manifest are
// made to agree.
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
    bool manifestRebuilt = false;   // written from scratch
    bool manifestChanged = false;   // entries dropped or added
    bool stylesRebuilt = false;     // a stand-in written for a styles part lost or dropped
    bool contentRebuilt = false;    // a content part written to show pictures when it was lost
    std::size_t picturesPlaced = 0; // pictures nothing showed any more, given pages of their own
};

// tree ends with a separator. Does nothing to a tree without any file. contentWhole says the
// content part was salvaged whole; pictures it does not show are then left as they are.
PackageRepairReport RepairPackageTree(const std::string& tree, bool contentWhole = true);

} // namespace content
