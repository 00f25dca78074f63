#include "content/picture_placement.h"

#include "content/odf_drawing.h"
#include "content/picture_references.h"
#include "content/xml_document.h"
#include "platform/file64.h"
#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <libxml/xmlreader.h>
#include <memory>
#include <set>
#include <span>
#include <vector>

namespace content {

namespace {

using namespace odf;

constexpr const char* ContentName = "content.xml";
constexpr const char* StylesName = "styles.xml";
constexpr const char* PicturesFolder = "Pictures/";
constexpr std::string_view PresentationMediaType =
    "application/vnd.oasis.opendocument.presentation";
constexpr std::string_view DrawingMediaTypePrefix = "application/vnd.oasis.opendocument.graphics";
constexpr std::size_t MaxVersionLength = 16;

// A JPEG may carry its Exif block, thumbnail and all, ahead of the frame header that gives its
// size; PNG and GIF give theirs within the first bytes.
constexpr std::size_t HeaderBytes = 256 * 1024;
constexpr double CmPerInch = 2.54;
constexpr double DefaultDpi = 96.0;
// A picture whose size cannot be told is shown at this shape, as large as the page allows.
constexpr double UnknownAspect = 4.0 / 3.0;

// Where a page's printable area lies; LibreOffice's A4 with 1 cm margins, turned either way,
// holds the default.
struct Area
{
    double left = 1.0;
    double top = 1.0;
    double width = 19.0;
    double height = 17.0;
};

const xmlChar* x(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

std::uint32_t littleEndian16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint8_t>(bytes[at]) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
}

std::optional<PictureSize> fromPixels(double width, double height, double dpiX, double dpiY)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return PictureSize{width / dpiX * CmPerInch, height / dpiY * CmPerInch};
}

std::optional<PictureSize> pngSize(std::string_view bytes)
{
    constexpr std::string_view Signature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.substr(0, 8) != Signature || bytes.substr(12, 4) != "IHDR")
        return std::nullopt;
    const double width = bigEndian(bytes, 16, 4);
    const double height = bigEndian(bytes, 20, 4);
    double dpiX = DefaultDpi;
    double dpiY = DefaultDpi;
    // pHYs, when there is one, comes before the first image data.
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = bigEndian(bytes, at, 4);
        const std::string_view type = bytes.substr(at + 4, 4);
        if (type == "IDAT" || length > bytes.size())
            break;
        if (type == "pHYs" && length == 9 && at + 17 <= bytes.size() && bytes[at + 16] == 1) {
            const double perMetreX = bigEndian(bytes, at + 8, 4);
            const double perMetreY = bigEndian(bytes, at + 12, 4);
            if (perMetreX > 0 && perMetreY > 0) {
                dpiX = perMetreX * CmPerInch / 100.0;
                dpiY = perMetreY * CmPerInch / 100.0;
            }
        }
        at += 12 + std::size_t{length};
    }
    return fromPixels(width, height, dpiX, dpiY);
}

std::optional<PictureSize> jpegSize(std::string_view bytes)
{
    if (bytes.size() < 4 || bigEndian(bytes, 0, 2) != 0xFFD8)
        return std::nullopt;
    double dpiX = DefaultDpi;
    double dpiY = DefaultDpi;
    for (std::size_t at = 2; at + 4 <= bytes.size();) {
        if (static_cast<std::uint8_t>(bytes[at]) != 0xFF)
            return std::nullopt;
        const auto marker = static_cast<std::uint8_t>(bytes[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const std::uint32_t length = bigEndian(bytes, at + 2, 2);
        if (length < 2)
            return std::nullopt;
        const std::string_view segment =
            bytes.substr(at + 4, std::min<std::size_t>(length - 2, bytes.size() - at - 4));
        // JFIF names its density in dots an inch (1) or a centimetre (2).
        if (marker == 0xE0 && segment.size() >= 12 &&
            segment.substr(0, 5) == std::string_view("JFIF\0", 5)) {
            const double densityX = bigEndian(segment, 8, 2);
            const double densityY = bigEndian(segment, 10, 2);
            const double perInch = segment[7] == 1 ? 1.0 : segment[7] == 2 ? CmPerInch : 0.0;
            if (perInch > 0 && densityX > 0 && densityY > 0) {
                dpiX = densityX * perInch;
                dpiY = densityY * perInch;
            }
        }
        // The frame headers: every SOFn but the table and arithmetic-coding markers among them.
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && segment.size() >= 5)
            return fromPixels(bigEndian(segment, 3, 2), bigEndian(segment, 1, 2), dpiX, dpiY);
        at += 2 + std::size_t{length};
    }
    return std::nullopt;
}

std::optional<PictureSize> gifSize(std::string_view bytes)
{
    if (bytes.size() < 10 || (bytes.substr(0, 6) != "GIF87a" && bytes.substr(0, 6) != "GIF89a"))
        return std::nullopt;
    return fromPixels(littleEndian16(bytes, 6), littleEndian16(bytes, 8), DefaultDpi, DefaultDpi);
}

struct TextReaderFree
{
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

std::string readerAttribute(xmlTextReader* reader, const char* name)
{
    xmlChar* value = xmlTextReaderGetAttribute(reader, x(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// An SVG length: a bare number counts in pixels. A percentage gives nothing.
std::optional<double> svgLength(const std::string& text)
{
    if (const auto length = CentimetresOf(text))
        return length;
    return CentimetresOf(std::string(Trimmed(text)) + "px");
}

// The four numbers of a view box ("min-x min-y width height", blanks or commas between), read
// the same whatever the locale.
std::optional<std::array<double, 4>> viewBoxOf(std::string_view text)
{
    std::array<double, 4> numbers{};
    for (double& number : numbers) {
        const auto start = text.find_first_not_of(" \t\r\n,");
        if (start == std::string_view::npos)
            return std::nullopt;
        text.remove_prefix(start);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc())
            return std::nullopt;
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    }
    return numbers;
}

std::optional<PictureSize> svgSize(std::string_view bytes)
{
    // Only the root element's start tag is read, so a file cut short or damaged further on
    // still gives its size.
    std::unique_ptr<xmlTextReader, TextReaderFree> reader(
        xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!reader)
        return std::nullopt;
    while (xmlTextReaderRead(reader.get()) == 1) {
        if (xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT)
            continue;
        if (!xmlStrEqual(xmlTextReaderConstLocalName(reader.get()), x("svg")))
            return std::nullopt;
        const auto width = svgLength(readerAttribute(reader.get(), "width"));
        const auto height = svgLength(readerAttribute(reader.get(), "height"));
        if (width && height && *width > 0 && *height > 0)
            return PictureSize{*width, *height};
        // Without both, the view box gives the shape in user units, taken as pixels.
        const auto box = viewBoxOf(readerAttribute(reader.get(), "viewBox"));
        return box ? fromPixels((*box)[2], (*box)[3], DefaultDpi, DefaultDpi) : std::nullopt;
    }
    return std::nullopt;
}

std::string readStart(const std::string& path)
{
    platform::CFile64 file;
    if (!file.OpenRead(path))
        return {};
    std::string bytes(HeaderBytes, '\0');
    const auto got =
        file.Read(std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
    bytes.resize(got.value_or(0));
    return bytes;
}

// The pictures of the package, by name.
std::vector<std::string> picturesOf(const std::string& tree)
{
    std::vector<std::string> pictures;
    const auto entries = platform::ListDirectory(tree + PicturesFolder);
    for (const auto& entry : entries.value_or(std::vector<platform::DirectoryEntry>{})) {
        const std::string path = PicturesFolder + entry.name;
        if (!entry.isDirectory && !entry.isSymlink && platform::IsRegularFile(tree + path))
            pictures.push_back(path);
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

void collectReferences(xmlNode* parent, std::set<std::string>& references)
{
    for (xmlNode* child = parent->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const std::string path = PackagePathOf(attributeOf(child, "href", XlinkNs));
        if (!path.empty())
            references.insert(path);
        collectReferences(child, references);
    }
}

xmlNode* findNamed(xmlNode* parent, const char* element, const std::string& name)
{
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (isElement(child, StyleNs, element) && attributeOf(child, "name", StyleNs) == name)
            return child;
    }
    return nullptr;
}

// The printable area of the pages of the given master, as styles.xml lays them out.
Area printableArea(xmlDoc* styles, const std::string& master)
{
    Area area;
    xmlNode* root = styles ? xmlDocGetRootElement(styles) : nullptr;
    xmlNode* masterPage =
        findNamed(childElement(root, OfficeNs, "master-styles"), "master-page", master);
    xmlNode* layout = findNamed(childElement(root, OfficeNs, "automatic-styles"), "page-layout",
                                attributeOf(masterPage, "page-layout-name", StyleNs));
    xmlNode* properties = childElement(layout, StyleNs, "page-layout-properties");
    if (!properties)
        return area;
    const auto length = [&](const char* name) {
        return CentimetresOf(attributeOf(properties, name, FoNs));
    };
    const auto width = length("page-width");
    const auto height = length("page-height");
    const double left = length("margin-left").value_or(0.0);
    const double right = length("margin-right").value_or(0.0);
    const double top = length("margin-top").value_or(0.0);
    const double bottom = length("margin-bottom").value_or(0.0);
    if (!width || !height || *width - left - right < 1.0 || *height - top - bottom < 1.0)
        return area;
    return {left, top, *width - left - right, *height - top - bottom};
}

// The master page new pages use: the last page's, else the first the styles define.
std::string masterFor(xmlNode* body, xmlDoc* styles)
{
    std::string master;
    for (xmlNode* page = body->children; page; page = page->next) {
        if (isElement(page, DrawNs, "page"))
            master = attributeOf(page, "master-page-name", DrawNs);
    }
    xmlNode* root = styles ? xmlDocGetRootElement(styles) : nullptr;
    if (master.empty()) {
        xmlNode* first =
            childElement(childElement(root, OfficeNs, "master-styles"), StyleNs, "master-page");
        master = attributeOf(first, "name", StyleNs);
    }
    return master.empty() ? DefaultMasterPageName : master;
}

std::set<std::string> pageNames(xmlNode* body)
{
    std::set<std::string> names;
    for (xmlNode* page = body->children; page; page = page->next) {
        if (isElement(page, DrawNs, "page"))
            names.insert(attributeOf(page, "name", DrawNs));
    }
    return names;
}

// A new content part holding an empty drawing or presentation, in the version of the styles.
XmlDocPtr emptyContent(bool presentation, xmlDoc* styles)
{
    std::string version =
        styles ? attributeOf(xmlDocGetRootElement(styles), "version", OfficeNs) : std::string();
    if (version.size() > MaxVersionLength || version.find_first_of("\"<&") != std::string::npos)
        version.clear();
    const std::string text =
        std::string("<office:document-content xmlns:office=\"") + OfficeNs + "\"" +
        (version.empty() ? "" : " office:version=\"" + version + "\"") +
        "><office:body><office:" + (presentation ? "presentation" : "drawing") +
        "/></office:body></office:document-content>";
    return parseXmlMemory(text, ParseMode::Strict);
}

// The body to add pages to: the drawing's own, or one made for a document-content that lost
// its body. Null for any other kind of document.
xmlNode* bodyToFill(xmlDoc* content, bool presentation)
{
    if (xmlNode* body = DrawingBody(content))
        return body;
    xmlNode* root = xmlDocGetRootElement(content);
    if (!isElement(root, OfficeNs, "document-content"))
        return nullptr;
    xmlNs* office = xmlSearchNsByHref(content, root, x(OfficeNs));
    xmlNode* body = childElement(root, OfficeNs, "body");
    if (body && body->children)
        return nullptr; // a body of another kind of document
    if (!body)
        body = xmlNewChild(root, office, x("body"), nullptr);
    return xmlNewChild(body, office, x(presentation ? "presentation" : "drawing"), nullptr);
}

xmlNs* namespaceOf(xmlDoc* doc, const char* uri, const char* prefix)
{
    xmlNode* root = xmlDocGetRootElement(doc);
    if (xmlNs* ns = xmlSearchNsByHref(doc, root, x(uri)))
        return ns;
    return xmlNewNs(root, x(uri), x(prefix));
}

class PageMaker
{
public:
    PageMaker(xmlDoc* content, xmlNode* body, xmlDoc* styles)
        : m_body(body), m_master(masterFor(body, styles)), m_area(printableArea(styles, m_master)),
          m_names(pageNames(body)), m_draw(namespaceOf(content, DrawNs, "draw")),
          m_svg(namespaceOf(content, SvgNs, "svg")), m_xlink(namespaceOf(content, XlinkNs, "xlink"))
    {
    }

    void addPage(const std::string& picture, std::optional<PictureSize> size)
    {
        xmlNode* page = xmlNewChild(m_body, m_draw, x("page"), nullptr);
        xmlNewNsProp(page, m_draw, x("name"), x(freshName().c_str()));
        xmlNewNsProp(page, m_draw, x("master-page-name"), x(m_master.c_str()));
        const PictureSize shown = fitted(size);
        xmlNode* frame = xmlNewChild(page, m_draw, x("frame"), nullptr);
        xmlNewNsProp(frame, m_svg, x("width"), x(CentimetreText(shown.width).c_str()));
        xmlNewNsProp(frame, m_svg, x("height"), x(CentimetreText(shown.height).c_str()));
        xmlNewNsProp(frame, m_svg, x("x"), x(CentimetreText(m_area.left).c_str()));
        xmlNewNsProp(frame, m_svg, x("y"), x(CentimetreText(m_area.top).c_str()));
        xmlNode* image = xmlNewChild(frame, m_draw, x("image"), nullptr);
        xmlNewNsProp(image, m_xlink, x("href"), x(picture.c_str()));
        xmlNewNsProp(image, m_xlink, x("type"), x("simple"));
        xmlNewNsProp(image, m_xlink, x("show"), x("embed"));
        xmlNewNsProp(image, m_xlink, x("actuate"), x("onLoad"));
    }

private:
    // Scaled down, never up, to fit the printable area; to a hundredth of a millimetre.
    PictureSize fitted(std::optional<PictureSize> size) const
    {
        const PictureSize natural =
            size.value_or(PictureSize{m_area.height * UnknownAspect, m_area.height});
        const double scale =
            std::min({1.0, m_area.width / natural.width, m_area.height / natural.height});
        const auto round = [](double cm) {
            return std::max(0.001, std::round(cm * 1000.0) / 1000.0);
        };
        return {round(natural.width * scale), round(natural.height * scale)};
    }

    std::string freshName()
    {
        std::string name;
        for (std::size_t number = m_names.size() + 1; name.empty() || m_names.count(name); ++number)
            name = "page" + std::to_string(number);
        m_names.insert(name);
        return name;
    }

    xmlNode* m_body;
    std::string m_master;
    Area m_area;
    std::set<std::string> m_names;
    xmlNs* m_draw;
    xmlNs* m_svg;
    xmlNs* m_xlink;
};

} // namespace

std::optional<PictureSize> NaturalSizeOf(std::string_view bytes)
{
    if (auto size = pngSize(bytes))
        return size;
    if (auto size = jpegSize(bytes))
        return size;
    if (auto size = gifSize(bytes))
        return size;
    return svgSize(bytes);
}

PicturePlacement PlaceUnshownPictures(const std::string& tree, const std::string& mediaType)
{
    PicturePlacement result;
    std::vector<std::string> pictures = picturesOf(tree);
    if (pictures.empty())
        return result;
    const std::string contentPath = tree + ContentName;
    const XmlDocPtr styles = parseXmlFile(tree + StylesName, ParseMode::Strict);
    const bool presentation = mediaType.rfind(PresentationMediaType, 0) == 0;
    XmlDocPtr content;
    if (platform::PathExists(contentPath)) {
        content = parseXmlFile(contentPath, ParseMode::Strict);
    } else if (presentation || mediaType.rfind(DrawingMediaTypePrefix, 0) == 0) {
        content = emptyContent(presentation, styles.get());
        result.contentRebuilt = content != nullptr;
    }
    xmlNode* body = content ? bodyToFill(content.get(), presentation) : nullptr;
    if (!body)
        return {};

    std::set<std::string> shown;
    collectReferences(xmlDocGetRootElement(content.get()), shown);
    if (styles)
        collectReferences(xmlDocGetRootElement(styles.get()), shown);
    std::erase_if(pictures, [&](const std::string& picture) { return shown.count(picture) > 0; });
    if (pictures.empty())
        return {};

    PageMaker pages(content.get(), body, styles.get());
    for (const std::string& picture : pictures)
        pages.addPage(picture, NaturalSizeOf(readStart(tree + picture)));
    if (!saveXmlFile(content.get(), contentPath))
        return {};
    result.placed = pictures.size();
    return result;
}

} // namespace content
