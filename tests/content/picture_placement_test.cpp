// Pictures that survived a damaged content part but that nothing places any more get a page of
// their own, fitted to the printable area; pictures still placed, and content parts of other
// kinds of documents, are left alone.
#include "content/package_repair.h"
#include "content/picture_placement.h"
#include "content/xml_document.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace {

using content::NaturalSizeOf;
using content::PlaceUnshownPictures;
using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

constexpr const char* DrawingType = "application/vnd.oasis.opendocument.graphics";
constexpr const char* PresentationType = "application/vnd.oasis.opendocument.presentation";
constexpr const char* DrawNs = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
constexpr const char* SvgNs = "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0";
constexpr const char* XlinkNs = "http://www.w3.org/1999/xlink";

std::string bytes(std::initializer_list<int> values)
{
    std::string text;
    for (const int value : values)
        text += static_cast<char>(value);
    return text;
}

std::string bigEndian32(std::uint32_t value)
{
    return bytes(
        {int(value >> 24), int(value >> 16 & 0xFF), int(value >> 8 & 0xFF), int(value & 0xFF)});
}

// The start of a PNG: signature and header, optionally a pHYs chunk, then image data. Chunk
// CRCs are not read for the size and are left zero.
std::string png(std::uint32_t width, std::uint32_t height, std::uint32_t pixelsPerMetre = 0)
{
    std::string text = "\x89PNG\r\n\x1a\n" + bigEndian32(13) + "IHDR" + bigEndian32(width) +
                       bigEndian32(height) + bytes({8, 6, 0, 0, 0}) + bigEndian32(0);
    if (pixelsPerMetre)
        text += bigEndian32(9) + "pHYs" + bigEndian32(pixelsPerMetre) +
                bigEndian32(pixelsPerMetre) + bytes({1}) + bigEndian32(0);
    return text + bigEndian32(0) + "IDAT" + bigEndian32(0);
}

// A baseline JPEG's start: a JFIF segment with the given density in dots an inch, an Exif-like
// segment to step over, and the frame header.
std::string jpeg(int width, int height, int dpi)
{
    return bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 16}) + std::string("JFIF\0", 5) +
           bytes({1, 1, 1, dpi >> 8, dpi & 0xFF, dpi >> 8, dpi & 0xFF, 0, 0}) +
           bytes({0xFF, 0xE1, 0, 6}) + "Exif" + bytes({0xFF, 0xC4, 0, 2}) +
           bytes({0xFF, 0xC0, 0, 11, 8, height >> 8, height & 0xFF, width >> 8, width & 0xFF, 1, 1,
                  0x11, 0});
}

TEST(PictureSize, IsReadFromEachFormatsHeader)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        std::optional<content::PictureSize> expected;
    };
    const std::vector<Case> cases = {
        {"PNG at 96 dpi", png(96, 48), content::PictureSize{2.54, 1.27}},
        {"PNG naming 300 dpi", png(600, 300, 11811), content::PictureSize{5.08, 2.54}},
        {"JPEG at 72 dpi", jpeg(144, 72, 72), content::PictureSize{5.08, 2.54}},
        {"GIF", "GIF89a" + bytes({192, 0, 96, 0}), content::PictureSize{5.08, 2.54}},
        {"SVG in centimetres",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4cm\" "
         "height=\"3cm\"><rect",
         content::PictureSize{4, 3}},
        {"SVG in pixels", "<?xml version=\"1.0\"?><svg width=\"96\" height=\"48px\"/>",
         content::PictureSize{2.54, 1.27}},
        {"SVG sized by its view box", "<svg width=\"100%\" viewBox=\"0 0 192 96\"/>",
         content::PictureSize{5.08, 2.54}},
        {"SVG without any size", "<svg/>", std::nullopt},
        {"other XML", "<html width=\"4cm\" height=\"3cm\"/>", std::nullopt},
        {"PNG cut inside its header", png(96, 48).substr(0, 20), std::nullopt},
        {"JPEG cut before its frame header", jpeg(144, 72, 72).substr(0, 30), std::nullopt},
        {"zeroed bytes", std::string(64, '\0'), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto size = NaturalSizeOf(c.bytes);
        ASSERT_EQ(size.has_value(), c.expected.has_value()) << c.what;
        if (size) {
            EXPECT_NEAR(size->width, c.expected->width, 0.01) << c.what;
            EXPECT_NEAR(size->height, c.expected->height, 0.01) << c.what;
        }
    }
}

// Headers cut anywhere, and bytes of any kind, are read within their bounds (checked under the
// sanitizers) and give no size or a positive one.
TEST(PictureSize, AnyCutOrNoiseIsReadSafely)
{
    const std::string headers[] = {png(600, 300, 11811), jpeg(144, 72, 72),
                                   "GIF89a" + bytes({192, 0, 96, 0}),
                                   "<svg width=\"4cm\" height=\"3cm\" viewBox=\"0 0 4 3\"/>"};
    for (const std::string& header : headers) {
        for (std::size_t size = 0; size <= header.size(); ++size) {
            const auto got = NaturalSizeOf(std::string_view(header).substr(0, size));
            if (got)
                EXPECT_TRUE(got->width > 0 && got->height > 0) << size;
        }
    }
    std::uint32_t state = 3;
    for (int round = 0; round < 2000; ++round) {
        std::string noise = round % 2 ? "\x89PNG\r\n\x1a\n" : "\xFF\xD8";
        for (int i = 0; i < 64; ++i) {
            state = state * 1103515245u + 12345u;
            noise += static_cast<char>(state >> 16);
        }
        const auto got = NaturalSizeOf(noise);
        if (got)
            EXPECT_TRUE(got->width > 0 && got->height > 0);
    }
}

std::string contentPart(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.3\"><office:body>" +
           body + "</office:body></office:document-content>";
}

// Styles whose master "Plan" lays pages out 10 cm square with 1 cm margins, and whose own
// background names a picture.
const std::string SmallPageStyles =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\"><office:styles>"
    "<draw:fill-image draw:name=\"Bricks\" xlink:href=\"Pictures/bricks.png\"/></office:styles>"
    "<office:automatic-styles><style:page-layout style:name=\"PM1\">"
    "<style:page-layout-properties fo:page-width=\"10cm\" fo:page-height=\"100mm\" "
    "fo:margin-left=\"1cm\" fo:margin-right=\"1cm\" fo:margin-top=\"1cm\" "
    "fo:margin-bottom=\"1cm\"/></style:page-layout></office:automatic-styles>"
    "<office:master-styles><style:master-page style:name=\"Plan\" "
    "style:page-layout-name=\"PM1\"/></office:master-styles></office:document-styles>";

struct PlacedPage
{
    std::string name;
    std::string master;
    std::string width;
    std::string height;
    std::string picture;
};

// The pages of the content part's body that hold a picture frame, in order.
std::vector<PlacedPage> placedPages(const std::string& contentPath)
{
    std::vector<PlacedPage> pages;
    const auto doc = content::parseXmlFile(contentPath, content::ParseMode::Strict);
    if (!doc)
        return pages;
    xmlNode* body = xmlDocGetRootElement(doc.get())->children;
    for (xmlNode* kind = body ? body->children : nullptr; kind; kind = kind->next) {
        for (xmlNode* page = kind->children; page; page = page->next) {
            xmlNode* frame = content::childElement(page, DrawNs, "frame");
            xmlNode* image = content::childElement(frame, DrawNs, "image");
            if (!content::isElement(page, DrawNs, "page") || !image)
                continue;
            pages.push_back({content::attributeOf(page, "name", DrawNs),
                             content::attributeOf(page, "master-page-name", DrawNs),
                             content::attributeOf(frame, "width", SvgNs),
                             content::attributeOf(frame, "height", SvgNs),
                             content::attributeOf(image, "href", XlinkNs)});
        }
    }
    return pages;
}

class PicturePlacement : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(tree / "Pictures")); }

    TempDir tree;
};

TEST_F(PicturePlacement, GivesEachUnplacedPictureAFittedPageAfterTheLast)
{
    writeFile(tree / "styles.xml", SmallPageStyles);
    writeFile(tree / "content.xml",
              contentPart("<office:drawing><draw:page draw:name=\"page2\" "
                          "draw:master-page-name=\"Plan\"><draw:frame><draw:image "
                          "xlink:href=\"./Pictures/kept.png\"/></draw:frame></draw:page>"
                          "</office:drawing>"));
    writeFile(tree / "Pictures/kept.png", png(10, 10));
    writeFile(tree / "Pictures/bricks.png", png(10, 10));  // named by the styles
    writeFile(tree / "Pictures/wide.png", png(1200, 300)); // 31.75 cm by 7.9375 cm at 96 dpi
    writeFile(tree / "Pictures/plan.svg", "<svg width=\"2cm\" height=\"3cm\"/>");
    writeFile(tree / "Pictures/unknown.bin", "not a picture");

    const auto placement = PlaceUnshownPictures(tree.path(), DrawingType);

    EXPECT_EQ(placement.placed, 3u);
    EXPECT_FALSE(placement.contentRebuilt);
    const auto pages = placedPages(tree / "content.xml");
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[0].picture, "./Pictures/kept.png");
    // In name order, each on a page of an unused name and of the last page's master; scaled down
    // to the 8 cm square the master's page leaves, never up; of unknown size, 4:3 at most.
    const std::vector<std::vector<std::string>> expected = {
        {"page3", "Plan", "2cm", "3cm", "Pictures/plan.svg"},
        {"page4", "Plan", "8cm", "6cm", "Pictures/unknown.bin"},
        {"page5", "Plan", "8cm", "2cm", "Pictures/wide.png"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PlacedPage& page = pages[i + 1];
        EXPECT_EQ((std::vector<std::string>{page.name, page.master, page.width, page.height,
                                            page.picture}),
                  expected[i])
            << i;
    }
}

TEST_F(PicturePlacement, LeavesAContentPartThatPlacesEveryPictureUntouched)
{
    const std::string part = contentPart("<office:drawing><draw:page><draw:frame><draw:image "
                                         "xlink:href=\"Pictures/a.png\"/></draw:frame></draw:page>"
                                         "</office:drawing>");
    writeFile(tree / "content.xml", part);
    writeFile(tree / "Pictures/a.png", png(10, 10));
    EXPECT_EQ(PlaceUnshownPictures(tree.path(), DrawingType).placed, 0u);
    EXPECT_EQ(readText(tree / "content.xml"), part);
}

TEST_F(PicturePlacement, LeavesOtherKindsOfDocumentAndBrokenPartsAlone)
{
    writeFile(tree / "Pictures/a.png", png(10, 10));
    for (const std::string& part :
         {contentPart("<office:text><text:p xmlns:text=\"t\">Letter</text:p></office:text>"),
          contentPart("<office:drawing>")}) {
        writeFile(tree / "content.xml", part);
        EXPECT_EQ(PlaceUnshownPictures(tree.path(), DrawingType).placed, 0u);
        EXPECT_EQ(readText(tree / "content.xml"), part);
    }
    // Without a content part, only a drawing or presentation gets one.
    (void)platform::DeleteFile(tree / "content.xml");
    EXPECT_EQ(PlaceUnshownPictures(tree.path(), "application/vnd.oasis.opendocument.text").placed,
              0u);
    EXPECT_FALSE(platform::PathExists(tree / "content.xml"));
}

TEST_F(PicturePlacement, WritesAContentPartForADrawingThatLostIt)
{
    writeFile(tree / "Pictures/a.png", png(96, 96));
    for (const auto& [mediaType, body] : {std::pair{DrawingType, "<office:drawing>"},
                                          std::pair{PresentationType, "<office:presentation>"}}) {
        (void)platform::DeleteFile(tree / "content.xml");
        const auto placement = PlaceUnshownPictures(tree.path(), mediaType);
        EXPECT_TRUE(placement.contentRebuilt);
        EXPECT_EQ(placement.placed, 1u);
        const std::string text = readText(tree / "content.xml");
        EXPECT_NE(text.find(body), std::string::npos) << text;
        const auto pages = placedPages(tree / "content.xml");
        ASSERT_EQ(pages.size(), 1u) << text;
        EXPECT_EQ((std::vector<std::string>{pages[0].name, pages[0].master, pages[0].width,
                                            pages[0].picture}),
                  (std::vector<std::string>{"page1", "Default", "2.54cm", "Pictures/a.png"}));
    }
}

// In the whole repair: a content part salvaged whole is trusted to show what it meant to; one
// that came back in part, or not at all, has its lost frames made up for, and the stand-in
// styles page and the manifest take in what was added.
TEST_F(PicturePlacement, HappensInThePackageRepairOnlyForADamagedContentPart)
{
    writeFile(tree / "Pictures/a.png", png(1200, 300));
    const std::string part = contentPart("<office:drawing><draw:page/></office:drawing>");
    writeFile(tree / "content.xml", part);
    auto report = content::RepairPackageTree(tree.path(), true);
    EXPECT_EQ(report.picturesPlaced, 0u);
    EXPECT_EQ(readText(tree / "content.xml"), part);

    (void)platform::DeleteFile(tree / "content.xml");
    (void)platform::DeleteFile(tree / "styles.xml");
    report = content::RepairPackageTree(tree.path(), true);
    EXPECT_TRUE(report.contentRebuilt);
    EXPECT_EQ(report.picturesPlaced, 1u);
    EXPECT_TRUE(report.stylesRebuilt);
    // Fitted to a landscape A4's printable width, so the stand-in page is that A4.
    EXPECT_EQ(placedPages(tree / "content.xml")[0].width, "19cm");
    EXPECT_NE(readText(tree / "styles.xml").find("fo:page-width=\"29.7cm\""), std::string::npos);
    EXPECT_NE(readText(tree / "META-INF/manifest.xml").find("full-path=\"content.xml\""),
              std::string::npos);
}

} // namespace
