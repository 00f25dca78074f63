#include "content/odf_drawing.h"

#include <array>
#include <charconv>
#include <cmath>

namespace content::odf {

namespace {

struct LengthUnit
{
    std::string_view suffix;
    double centimetres;
};

constexpr std::array LengthUnits = {
    LengthUnit{"cm", 1.0},         LengthUnit{"mm", 0.1},        LengthUnit{"in", 2.54},
    LengthUnit{"pt", 2.54 / 72.0}, LengthUnit{"pc", 2.54 / 6.0}, LengthUnit{"px", 2.54 / 96.0},
};

} // namespace

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

xmlNode* DrawingBody(xmlDoc* content)
{
    xmlNode* root = content ? xmlDocGetRootElement(content) : nullptr;
    if (!isElement(root, OfficeNs, "document-content"))
        return nullptr;
    xmlNode* body = childElement(root, OfficeNs, "body");
    if (xmlNode* drawing = childElement(body, OfficeNs, "drawing"))
        return drawing;
    return childElement(body, OfficeNs, "presentation");
}

std::optional<double> CentimetresOf(std::string_view text)
{
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1); // from_chars takes no plus sign
    for (const LengthUnit& unit : LengthUnits) {
        if (text.size() <= unit.suffix.size() ||
            text.substr(text.size() - unit.suffix.size()) != unit.suffix)
            continue;
        const std::string_view number = text.substr(0, text.size() - unit.suffix.size());
        double value = 0;
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), value);
        value *= unit.centimetres;
        if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::string CentimetreText(double centimetres)
{
    std::array<char, 32> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), centimetres);
    return std::string(digits.data(), result.ptr) + "cm";
}

} // namespace content::odf
