// A drawing that lost its styles part gets a stand-in whose page holds every shape, in whatever
// unit the shapes are placed, and a master page for each name the pages use; nothing else is
// ever touched.
#include "content/styles_rebuild.h"
#include "content/xml_document.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

constexpr const char* StyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr const char* FoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";

// A content part of the given kind ("drawing", "presentation", "text") whose body holds pages.
std::string contentPart(const std::string& pages, const std::string& kind = "drawing",
                        const std::string& version = " office:version=\"1.3\"")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\"" +
           version + "><office:body><office:" + kind + ">" + pages + "</office:" + kind +
           "></office:body></office:document-content>";
}

std::string page(const std::string& shapes, const std::string& attributes = "")
{
    return "<draw:page draw:name=\"page1\"" + attributes + ">" + shapes + "</draw:page>";
}

xmlNode* findElement(xmlNode* node, const char* nsUri, const char* name)
{
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && node->ns &&
            xmlStrEqual(node->ns->href, reinterpret_cast<const xmlChar*>(nsUri)) &&
            xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name)))
            return node;
        if (xmlNode* found = findElement(node->children, nsUri, name))
            return found;
    }
    return nullptr;
}

struct RebuiltStyles
{
    std::string pageWidth;
    std::string pageHeight;
    std::string orientation;
    std::vector<std::string> masterPages; // names, each checked to use the page layout
};

// Reads back the rebuilt part; fails the test when it does not parse or is not a styles part.
RebuiltStyles readStyles(const std::string& path)
{
    RebuiltStyles styles;
    const auto doc = content::parseXmlFile(path, content::ParseMode::Strict);
    EXPECT_TRUE(doc) << "not well-formed: " << path;
    if (!doc)
        return styles;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "document-styles");
    xmlNode* layout = findElement(root, StyleNs, "page-layout");
    xmlNode* properties = findElement(layout, StyleNs, "page-layout-properties");
    EXPECT_TRUE(properties);
    if (!properties)
        return styles;
    styles.pageWidth = content::attributeOf(properties, "page-width", FoNs);
    styles.pageHeight = content::attributeOf(properties, "page-height", FoNs);
    styles.orientation = content::attributeOf(properties, "print-orientation", StyleNs);
    for (const char* side : {"margin-top", "margin-bottom", "margin-left", "margin-right"})
        EXPECT_EQ(content::attributeOf(properties, side, FoNs), "1cm") << side;
    const std::string layoutName = content::attributeOf(layout, "name", StyleNs);
    xmlNode* masters =
        findElement(root, "urn:oasis:names:tc:opendocument:xmlns:office:1.0", "master-styles");
    for (xmlNode* master = masters ? masters->children : nullptr; master; master = master->next) {
        if (master->type != XML_ELEMENT_NODE)
            continue;
        EXPECT_EQ(content::attributeOf(master, "page-layout-name", StyleNs), layoutName);
        styles.masterPages.push_back(content::attributeOf(master, "name", StyleNs));
    }
    return styles;
}

struct PageCase
{
    const char* name;
    const char* shapes;
    const char* width;
    const char* height;
    const char* orientation;
};

// Each page holds its shapes with a 1 cm margin on every side, in whole millimetres.
constexpr PageCase PageCases[] = {
    {"Centimetres",
     "<draw:rect svg:x=\"30cm\" svg:y=\"40cm\" svg:width=\"5cm\" svg:height=\"5cm\"/>", "37cm",
     "47cm", "portrait"},
    {"Millimetres",
     "<draw:rect svg:x=\"300mm\" svg:y=\"400mm\" svg:width=\"52.5mm\" svg:height=\"50mm\"/>",
     "37.3cm", "47cm", "portrait"},
    {"Inches", "<draw:circle svg:x=\"10in\" svg:y=\"15in\" svg:width=\"2in\" svg:height=\"1in\"/>",
     "32.5cm", "42.7cm", "portrait"},
    {"Points", "<draw:frame svg:x=\"720pt\" svg:y=\"1000pt\" svg:width=\"72pt\"/>", "30cm",
     "37.3cm", "portrait"},
    {"TranslatedShape",
     "<draw:custom-shape svg:width=\"4cm\" svg:height=\"3cm\" "
     "draw:transform=\"translate (40cm 50cm)\"/>",
     "46cm", "55cm", "portrait"},
    {"TurnedShapeReachesItsDiagonal",
     "<draw:frame svg:width=\"4cm\" svg:height=\"3cm\" "
     "draw:transform=\"rotate (0.5) translate (40cm 50cm)\"/>",
     "47cm", "57cm", "portrait"},
    {"LineEnds",
     "<draw:line svg:x1=\"1cm\" svg:y1=\"1cm\" svg:x2=\"45cm\" svg:y2=\"3cm\"/>"
     "<draw:connector svg:x1=\"44cm\" svg:y1=\"2cm\" svg:x2=\"2cm\" svg:y2=\"8cm\"/>",
     "47cm", "21cm", "landscape"},
    {"WideDrawingGetsA4Landscape",
     "<draw:rect svg:x=\"1cm\" svg:y=\"1cm\" svg:width=\"25cm\" svg:height=\"5cm\"/>",
     "29.7cm", "21cm", "landscape"},
    {"ShapesInAGroup",
     "<draw:g><draw:rect svg:x=\"2cm\" svg:y=\"50cm\" svg:width=\"1cm\" svg:height=\"1cm\"/>"
     "</draw:g>",
     "21cm", "53cm", "portrait"},
    {"TinyDrawingGetsA4",
     "<draw:rect svg:x=\"1cm\" svg:y=\"1cm\" svg:width=\"2cm\" svg:height=\"2cm\"/>", "21cm",
     "29.7cm", "portrait"},
    {"GluePointsNotesAndPercentagesDoNotCount",
     "<draw:rect svg:x=\"1cm\" svg:y=\"1cm\" svg:width=\"2cm\" svg:height=\"2cm\">"
     "<draw:glue-point svg:x=\"90cm\" svg:y=\"90cm\"/></draw:rect>"
     "<draw:frame svg:x=\"50%\" svg:y=\"90\" svg:width=\"2cm\"/>"
     "<presentation:notes><draw:frame svg:x=\"90cm\" svg:y=\"90cm\"/></presentation:notes>",
     "21cm", "29.7cm", "portrait"},
    {"DamagedCoordinateIsCapped", "<draw:rect svg:x=\"1e300cm\" svg:y=\"1cm\"/>", "600cm", "21cm",
     "landscape"},
};

class StylesPageSize : public testing::TestWithParam<PageCase>
{};

TEST_P(StylesPageSize, CoversEveryShape)
{
    const PageCase& c = GetParam();
    TempDir tree;
    writeFile(tree / "content.xml", contentPart(page(c.shapes)));
    ASSERT_TRUE(content::RebuildStyles(tree.path()));
    const RebuiltStyles styles = readStyles(tree / "styles.xml");
    EXPECT_EQ(styles.pageWidth, c.width);
    EXPECT_EQ(styles.pageHeight, c.height);
    EXPECT_EQ(styles.orientation, c.orientation);
}

INSTANTIATE_TEST_SUITE_P(Shapes, StylesPageSize, testing::ValuesIn(PageCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StylesRebuild, GivesEveryMasterPageNameUsedThePageLayout)
{
    TempDir tree;
    const std::string shape =
        "<draw:rect svg:x=\"1cm\" svg:y=\"60cm\" svg:width=\"1cm\" svg:height=\"1cm\"/>";
    writeFile(tree / "content.xml",
              contentPart(page("", " draw:master-page-name=\"Title &amp; Cover\"") +
                              page("", " draw:master-page-name=\"Body\"") + page(shape) +
                              page("", " draw:master-page-name=\"Title &amp; Cover\""),
                          "presentation"));
    ASSERT_TRUE(content::RebuildStyles(tree.path()));
    const RebuiltStyles styles = readStyles(tree / "styles.xml");
    EXPECT_EQ(styles.masterPages, (std::vector<std::string>{"Title & Cover", "Body"}));
    EXPECT_EQ(styles.pageHeight, "63cm"); // a shape on any page counts
}

TEST(StylesRebuild, NamesADefaultMasterPageWhenNoPageNamesOne)
{
    TempDir tree;
    writeFile(tree / "content.xml", contentPart(page("") + page("")));
    ASSERT_TRUE(content::RebuildStyles(tree.path()));
    EXPECT_EQ(readStyles(tree / "styles.xml").masterPages, std::vector<std::string>{"Default"});
}

TEST(StylesRebuild, DeclaresTheUsualNamespacesAndTheContentVersion)
{
    for (const auto& [version, expected] :
         {std::pair{" office:version=\"1.2\"", "1.2"}, std::pair{"", ""}}) {
        TempDir tree;
        writeFile(tree / "content.xml", contentPart(page(""), "drawing", version));
        ASSERT_TRUE(content::RebuildStyles(tree.path()));
        const auto doc = content::parseXmlFile(tree / "styles.xml", content::ParseMode::Strict);
        ASSERT_TRUE(doc);
        xmlNode* root = xmlDocGetRootElement(doc.get());
        EXPECT_EQ(content::attributeOf(root, "version",
                                       "urn:oasis:names:tc:opendocument:xmlns:office:1.0"),
                  expected);
        for (const char* prefix : {"office", "style", "draw", "fo", "svg", "text", "xlink"})
            EXPECT_TRUE(xmlSearchNs(doc.get(), root, reinterpret_cast<const xmlChar*>(prefix)))
                << prefix;
    }
}

struct LeftAloneCase
{
    const char* name;
    const char* content; // nullptr: no content part
    const char* styles;  // nullptr: no styles part
};

constexpr LeftAloneCase LeftAloneCases[] = {
    {"StylesPresent",
     "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
     "<office:body><office:drawing/></office:body></office:document-content>",
     "<office:document-styles "
     "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\"/>"},
    {"NoContent", nullptr, nullptr},
    {"ContentCutShort",
     "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
     "<office:body><office:drawing>",
     nullptr},
    {"TextDocument",
     "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
     "<office:body><office:text/></office:body></office:document-content>",
     nullptr},
    {"ContentOfAnotherRoot",
     "<office:document-styles xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
     "<office:body><office:drawing/></office:body></office:document-styles>",
     nullptr},
};

class StylesLeftAlone : public testing::TestWithParam<LeftAloneCase>
{};

TEST_P(StylesLeftAlone, WritesNothing)
{
    const LeftAloneCase& c = GetParam();
    TempDir tree;
    if (c.content)
        writeFile(tree / "content.xml", c.content);
    if (c.styles)
        writeFile(tree / "styles.xml", c.styles);
    EXPECT_FALSE(content::RebuildStyles(tree.path()));
    if (c.styles)
        EXPECT_EQ(readText(tree / "styles.xml"), c.styles);
    else
        EXPECT_FALSE(platform::PathExists(tree / "styles.xml"));
}

INSTANTIATE_TEST_SUITE_P(Trees, StylesLeftAlone, testing::ValuesIn(LeftAloneCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
