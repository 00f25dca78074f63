#include "content/package_repair.h"
#include "content/xml_document.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testsupport::TempDir;
using testsupport::writeFile;

const std::string ContentHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.3\"><office:body>"
    "<office:drawing><draw:page><draw:frame><draw:image xlink:href=\"Pictures/lost.png\"/>"
    "</draw:frame><draw:frame><draw:text-box><text:p>Shed and pond</text:p>";

TEST(PackageRepair, MakesACutDrawingLoadable)
{
    TempDir tree;
    writeFile(tree / "content.xml", ContentHead);            // cut: no closing tags, manifest lost
    writeFile(tree / "settings.xml", std::string(64, '\0')); // zeroed: nothing usable
    const auto report = content::RepairPackageTree(tree.path());

    EXPECT_EQ(report.repairedParts, std::vector<std::string>{"content.xml"});
    EXPECT_EQ(report.droppedParts, std::vector<std::string>{"settings.xml"});
    EXPECT_FALSE(platform::PathExists(tree / "settings.xml"));
    EXPECT_EQ(report.droppedReferences, 1u);
    EXPECT_TRUE(report.mimetypeRestored);
    EXPECT_TRUE(report.manifestRebuilt);
    EXPECT_TRUE(report.stylesRebuilt); // a drawing, and it came without styles
    const std::string text = testsupport::readText(tree / "content.xml");
    EXPECT_NE(text.find("Shed and pond"), std::string::npos);
    EXPECT_EQ(text.find("lost.png"), std::string::npos);
    EXPECT_EQ(testsupport::readText(tree / "mimetype"),
              "application/vnd.oasis.opendocument.graphics");
    const std::string manifest = testsupport::readText(tree / "META-INF/manifest.xml");
    EXPECT_NE(manifest.find("\"content.xml\""), std::string::npos);
    EXPECT_EQ(manifest.find("settings.xml"), std::string::npos);
}

TEST(PackageRepair, LeavesAnEmptyTreeEmpty)
{
    TempDir tree;
    ASSERT_TRUE(platform::CreateDirectory(tree / "Pictures"));
    const auto report = content::RepairPackageTree(tree.path());
    EXPECT_FALSE(report.mimetypeRestored);
    EXPECT_FALSE(platform::ContainsRegularFile(tree.path()));
}

} // namespace

namespace {

TEST(PackageRepair, DropsAPartCutDownToAStubOfAnotherRoot)
{
    TempDir tree;
    // A settings part cut inside its root element's name: what parses is a root of another name.
    writeFile(tree / "settings.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-s");
    writeFile(tree / "content.xml", ContentHead);
    const auto report = content::RepairPackageTree(tree.path());
    EXPECT_EQ(report.droppedParts, std::vector<std::string>{"settings.xml"});
    EXPECT_FALSE(platform::PathExists(tree / "settings.xml"));
    EXPECT_TRUE(platform::PathExists(tree / "content.xml"));
    EXPECT_EQ(testsupport::readText(tree / "META-INF/manifest.xml").find("settings.xml"),
              std::string::npos);
}

// The stand-in styles part is written before the manifest is mended, so a manifest rebuilt from
// scratch and one kept from the original both list it.
TEST(PackageRepair, ReplacesADroppedStylesPartAndListsIt)
{
    const std::string keptManifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.graphics\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" "
        "manifest:media-type=\"text/xml\"/></manifest:manifest>";
    for (const bool manifestKept : {false, true}) {
        TempDir tree;
        writeFile(tree / "styles.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-s");
        writeFile(tree / "content.xml", ContentHead);
        if (manifestKept) {
            ASSERT_TRUE(platform::CreateDirectory(tree / "META-INF"));
            writeFile(tree / "META-INF/manifest.xml", keptManifest);
        }
        const auto report = content::RepairPackageTree(tree.path());
        EXPECT_EQ(report.droppedParts, std::vector<std::string>{"styles.xml"});
        EXPECT_TRUE(report.stylesRebuilt);
        EXPECT_EQ(report.manifestRebuilt, !manifestKept);
        const auto styles = content::parseXmlFile(tree / "styles.xml", content::ParseMode::Strict);
        ASSERT_TRUE(styles);
        EXPECT_STREQ(reinterpret_cast<const char*>(xmlDocGetRootElement(styles.get())->name),
                     "document-styles");
        EXPECT_NE(testsupport::readText(tree / "META-INF/manifest.xml")
                      .find("manifest:full-path=\"styles.xml\""),
                  std::string::npos)
            << (manifestKept ? "kept manifest" : "rebuilt manifest");
    }
}

} // namespace
