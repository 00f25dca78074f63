// What the repairs that build parts of a drawing share: the OpenDocument namespaces, the body of
// a drawing's content part, and lengths as the parts write them ("3.2cm", "1in", ...).
#pragma once

#include "content/xml_document.h"

#include <optional>
#include <string>
#include <string_view>

namespace content::odf {

inline constexpr const char* OfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr const char* StyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
inline constexpr const char* DrawNs = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
inline constexpr const char* FoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
inline constexpr const char* SvgNs = "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0";
inline constexpr const char* XlinkNs = "http://www.w3.org/1999/xlink";
inline constexpr const char* PresentationNs =
    "urn:oasis:names:tc:opendocument:xmlns:presentation:1.0";

// The master page a page names when it names none.
inline constexpr const char* DefaultMasterPageName = "Default";

// The office:drawing or office:presentation element of a content part, or null for a part of any
// other kind of document.
[[nodiscard]] xmlNode* DrawingBody(xmlDoc* content);

// A length such as "3.23cm" or "1.5in" in centimetres; nothing for a percentage, a bare number
// or anything that does not parse whole.
[[nodiscard]] std::optional<double> CentimetresOf(std::string_view text);

// text without the blanks around it.
[[nodiscard]] std::string_view Trimmed(std::string_view text);

// A length in centimetres as the parts write it: "21cm", "14.25cm".
[[nodiscard]] std::string CentimetreText(double centimetres);

} // namespace content::odf
