#include "content/styles_rebuild.h"

#include "content/odf_drawing.h"
#include "content/xml_document.h"
#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

namespace content {

namespace {

using namespace odf;

struct Namespace
{
    const char* prefix;
    const char* uri;
};

// Bound as LibreOffice binds them, so the part reads like one it wrote.
constexpr std::array StylesNamespaces = {
    Namespace{"office", OfficeNs},
    Namespace{"style", StyleNs},
    Namespace{"text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
    Namespace{"table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
    Namespace{"draw", DrawNs},
    Namespace{"fo", FoNs},
    Namespace{"xlink", XlinkNs},
    Namespace{"dc", "http://purl.org/dc/elements/1.1/"},
    Namespace{"meta", "urn:oasis:names:tc:opendocument:xmlns:meta:1.0"},
    Namespace{"number", "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"},
    Namespace{"presentation", PresentationNs},
    Namespace{"svg", SvgNs},
    Namespace{"chart", "urn:oasis:names:tc:opendocument:xmlns:chart:1.0"},
    Namespace{"dr3d", "urn:oasis:names:tc:opendocument:xmlns:dr3d:1.0"},
    Namespace{"script", "urn:oasis:names:tc:opendocument:xmlns:script:1.0"},
    Namespace{"smil", "urn:oasis:names:tc:opendocument:xmlns:smil-compatible:1.0"},
    Namespace{"anim", "urn:oasis:names:tc:opendocument:xmlns:animation:1.0"},
};

constexpr const char* StylesName = "styles.xml";
constexpr const char* ContentName = "content.xml";
constexpr const char* PageLayoutName = "PM1";
constexpr std::size_t MaxVersionLength = 16;

constexpr double MarginCm = 1.0;
constexpr double A4WidthCm = 21.0;
constexpr double A4HeightCm = 29.7;
// Six metres a side still loads in LibreOffice; a coordinate past it is taken for damage, not a
// shape, and must not blow the page up further.
constexpr double MaxPageCm = 600.0;

const xmlChar* x(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

std::optional<double> lengthAttribute(xmlNode* node, const char* name)
{
    return CentimetresOf(attributeOf(node, name, SvgNs));
}

// Where a draw:transform puts a shape's top left corner, and whether it also turns, slants or
// scales it, in which case the shape may reach as far as its diagonal from there.
struct Placement
{
    double x = 0;
    double y = 0;
    bool turned = false;
};

std::optional<Placement> placementOf(std::string_view transform)
{
    std::optional<Placement> placement;
    while (true) {
        const auto open = transform.find('(');
        const auto close = transform.find(')', open == std::string_view::npos ? 0 : open);
        if (open == std::string_view::npos || close == std::string_view::npos)
            return placement;
        const std::string_view name = Trimmed(transform.substr(0, open));
        std::string arguments(transform.substr(open + 1, close - open - 1));
        std::replace(arguments.begin(), arguments.end(), ',', ' ');
        transform.remove_prefix(close + 1);
        if (!placement)
            placement.emplace();
        if (name != "translate") {
            placement->turned = true;
            continue;
        }
        // LibreOffice writes one translate after any rotation; a second one only adds to it.
        const std::string_view args = Trimmed(arguments);
        const auto gap = args.find(' ');
        const auto dx = CentimetresOf(args.substr(0, gap));
        const auto dy = gap == std::string_view::npos ? std::optional<double>(0.0)
                                                      : CentimetresOf(args.substr(gap + 1));
        if (dx && dy) {
            placement->x += *dx;
            placement->y += *dy;
        }
    }
}

// How far right and down the shapes of a drawing reach from the paper's top left corner.
struct Extent
{
    double right = 0;
    double bottom = 0;

    void include(double x, double y)
    {
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
};

void measureShape(xmlNode* shape, Extent& extent)
{
    const auto left = lengthAttribute(shape, "x");
    const auto top = lengthAttribute(shape, "y");
    const double width = lengthAttribute(shape, "width").value_or(0.0);
    const double height = lengthAttribute(shape, "height").value_or(0.0);
    if (left || top)
        extent.include(left.value_or(0.0) + width, top.value_or(0.0) + height);
    // Lines, connectors and measures give their two end points instead.
    for (const auto& [xName, yName] : {std::pair{"x1", "y1"}, std::pair{"x2", "y2"}}) {
        const auto endX = lengthAttribute(shape, xName);
        const auto endY = lengthAttribute(shape, yName);
        if (endX || endY)
            extent.include(endX.value_or(0.0), endY.value_or(0.0));
    }
    if (const auto placement = placementOf(attributeOf(shape, "transform", DrawNs))) {
        const double diagonal = std::hypot(width, height);
        extent.include(placement->x + (placement->turned ? diagonal : width),
                       placement->y + (placement->turned ? diagonal : height));
    }
}

// libxml2 refuses documents nested deeper than a few hundred elements, which bounds the walk.
void measureShapes(xmlNode* parent, Extent& extent)
{
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        // The notes page has a layout of its own; glue points and contours are measured from
        // their shape, not from the page.
        if (isElement(child, PresentationNs, "notes") || isElement(child, DrawNs, "glue-point") ||
            isElement(child, DrawNs, "contour-polygon") || isElement(child, DrawNs, "contour-path"))
            continue;
        measureShape(child, extent);
        measureShapes(child, extent);
    }
}

struct PageLayout
{
    std::vector<std::string> masterPages; // in the order the pages first use them
    Extent extent;
};

PageLayout pageLayoutOf(xmlNode* body)
{
    PageLayout layout;
    for (xmlNode* page = body->children; page; page = page->next) {
        if (!isElement(page, DrawNs, "page"))
            continue;
        const std::string master = attributeOf(page, "master-page-name", DrawNs);
        if (!master.empty() && std::find(layout.masterPages.begin(), layout.masterPages.end(),
                                         master) == layout.masterPages.end())
            layout.masterPages.push_back(master);
        measureShapes(page, layout.extent);
    }
    if (layout.masterPages.empty())
        layout.masterPages.emplace_back(DefaultMasterPageName);
    return layout;
}

// The paper length that holds shapes reaching to extent with a margin on either side, rounded up
// to whole millimetres; a length off whole millimetres by a rounding error only is not rounded up.
double paperLength(double extent, double minimum)
{
    const double needed = std::ceil((extent + 2 * MarginCm) * 10.0 - 1e-9) / 10.0;
    return std::clamp(needed, minimum, MaxPageCm);
}

struct StylesWriter
{
    xmlNs* office = nullptr;
    xmlNs* style = nullptr;
    xmlNs* fo = nullptr;

    XmlDocPtr build(const std::string& version, const PageLayout& layout)
    {
        XmlDocPtr doc(xmlNewDoc(x("1.0")));
        xmlNode* root = xmlNewNode(nullptr, x("document-styles"));
        xmlDocSetRootElement(doc.get(), root);
        for (const Namespace& ns : StylesNamespaces)
            xmlNewNs(root, x(ns.uri), x(ns.prefix));
        office = xmlSearchNsByHref(doc.get(), root, x(OfficeNs));
        style = xmlSearchNsByHref(doc.get(), root, x(StyleNs));
        fo = xmlSearchNsByHref(doc.get(), root, x(FoNs));
        xmlSetNs(root, office);
        if (!version.empty())
            xmlNewNsProp(root, office, x("version"), x(version.c_str()));
        xmlNewChild(root, office, x("styles"), nullptr);
        addPageLayout(xmlNewChild(root, office, x("automatic-styles"), nullptr), layout.extent);
        xmlNode* masters = xmlNewChild(root, office, x("master-styles"), nullptr);
        for (const std::string& name : layout.masterPages) {
            xmlNode* master = xmlNewChild(masters, style, x("master-page"), nullptr);
            xmlNewNsProp(master, style, x("name"), x(name.c_str()));
            xmlNewNsProp(master, style, x("page-layout-name"), x(PageLayoutName));
        }
        return doc;
    }

    void addPageLayout(xmlNode* automaticStyles, const Extent& extent)
    {
        xmlNode* pageLayout = xmlNewChild(automaticStyles, style, x("page-layout"), nullptr);
        xmlNewNsProp(pageLayout, style, x("name"), x(PageLayoutName));
        xmlNode* properties = xmlNewChild(pageLayout, style, x("page-layout-properties"), nullptr);
        const std::string margin = CentimetreText(MarginCm);
        for (const char* side : {"margin-top", "margin-bottom", "margin-left", "margin-right"})
            xmlNewNsProp(properties, fo, x(side), x(margin.c_str()));
        // A drawing wider than tall most likely sat on a landscape page: A4 turned is the least.
        const bool wide = extent.right > extent.bottom;
        const double width = paperLength(extent.right, wide ? A4HeightCm : A4WidthCm);
        const double height = paperLength(extent.bottom, wide ? A4WidthCm : A4HeightCm);
        xmlNewNsProp(properties, fo, x("page-width"), x(CentimetreText(width).c_str()));
        xmlNewNsProp(properties, fo, x("page-height"), x(CentimetreText(height).c_str()));
        xmlNewNsProp(properties, style, x("print-orientation"),
                     x(width > height ? "landscape" : "portrait"));
    }
};

} // namespace

bool RebuildStyles(const std::string& tree)
{
    const std::string stylesPath = tree + StylesName;
    if (platform::PathExists(stylesPath))
        return false;
    const XmlDocPtr content = parseXmlFile(tree + ContentName, ParseMode::Strict);
    xmlNode* body = content ? DrawingBody(content.get()) : nullptr;
    if (!body)
        return false;
    std::string version = attributeOf(xmlDocGetRootElement(content.get()), "version", OfficeNs);
    if (version.size() > MaxVersionLength)
        version.clear();
    const XmlDocPtr styles = StylesWriter().build(version, pageLayoutOf(body));
    return saveXmlFile(styles.get(), stylesPath);
}

} // namespace content
