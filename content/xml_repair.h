// Mends a package's XML part that salvage brought back cut short or garbled: the part is cut
// back to what parses and its open elements are closed, so the document loads up to the damage.
#pragma once

#include <string>

namespace content {

enum class XmlRepairResult
{
    WellFormed,    // nothing to do; the file is left byte for byte as it was
    Repaired,      // rewritten from what could be parsed
    Unrecoverable, // nothing usable (empty, binary, no root element); the file is unchanged
};

// Checks the XML file at path and rewrites it in place when it is damaged. Bytes that are not
// valid UTF-8, and control characters XML forbids, are replaced before the parse, so a few
// flipped bits do not cost the rest of the part.
[[nodiscard]] XmlRepairResult RepairXmlPart(const std::string& path);

} // namespace content
