#include "content/manifest_repair.h"
#include "content/xml_document.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

const std::string Graphics = "application/vnd.oasis.opendocument.graphics";
const std::string ManifestHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
    "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
    "manifest:version=\"1.3\">\n";
const std::string RootEntry = " <manifest:file-entry manifest:full-path=\"/\" "
                              "manifest:version=\"1.3\" manifest:media-type=\"" +
                              Graphics + "\"/>\n";

std::string entry(const std::string& path, const std::string& type)
{
    return " <manifest:file-entry manifest:full-path=\"" + path + "\" manifest:media-type=\"" +
           type + "\"/>\n";
}

// The (full-path, media-type) pairs of a manifest, in document order.
std::vector<std::pair<std::string, std::string>> entriesOf(const std::string& path)
{
    constexpr const char* Ns = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
    std::vector<std::pair<std::string, std::string>> entries;
    auto doc = content::parseXmlFile(path, content::ParseMode::Strict);
    EXPECT_TRUE(doc);
    if (!doc)
        return entries;
    for (xmlNode* e = xmlDocGetRootElement(doc.get())->children; e; e = e->next) {
        if (e->type == XML_ELEMENT_NODE)
            entries.emplace_back(content::attributeOf(e, "full-path", Ns),
                                 content::attributeOf(e, "media-type", Ns));
    }
    return entries;
}

class Manifest : public testing::Test
{
protected:
    TempDir tree;
    std::string manifest = tree / "META-INF/manifest.xml";
    void SetUp() override
    {
        ASSERT_TRUE(platform::CreateDirectory(tree / "Pictures"));
        ASSERT_TRUE(platform::CreateDirectory(tree / "META-INF"));
        writeFile(tree / "mimetype", Graphics);
        writeFile(tree / "content.xml",
                  "<office:document-content "
                  "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                  "office:version=\"1.3\"/>");
        writeFile(tree / "styles.xml", "<x/>");
        writeFile(tree / "Pictures/a.png", "png");
        writeFile(tree / "Pictures/b.svg", "svg");
        writeFile(tree / "Pictures/c.xyz", "?");
    }
};

TEST_F(Manifest, MissingOneIsWrittenListingEveryPart)
{
    const auto result = content::RepairManifest(tree.path(), Graphics);
    EXPECT_TRUE(result.rebuilt);
    EXPECT_TRUE(result.changed);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/", Graphics},
        {"Pictures/a.png", "image/png"},
        {"Pictures/b.svg", "image/svg+xml"},
        {"Pictures/c.xyz", ""},
        {"content.xml", "text/xml"},
        {"styles.xml", "text/xml"}};
    EXPECT_EQ(entriesOf(manifest), expected);
    EXPECT_NE(readText(manifest).find("manifest:version=\"1.3\""), std::string::npos);
}

TEST_F(Manifest, UnreadableOneIsWrittenAfresh)
{
    writeFile(manifest, std::string(300, '\0'));
    EXPECT_TRUE(content::RepairManifest(tree.path(), Graphics).rebuilt);
    EXPECT_EQ(entriesOf(manifest).size(), 6u);
}

TEST_F(Manifest, OneThatAgreesIsLeftByteForByte)
{
    const std::string text = ManifestHead + RootEntry + entry("Pictures/a.png", "image/png") +
                             entry("Pictures/b.svg", "image/svg+xml") +
                             entry("Pictures/c.xyz", "") + entry("content.xml", "text/xml") +
                             entry("styles.xml", "text/xml") + "</manifest:manifest>";
    writeFile(manifest, text);
    const auto result = content::RepairManifest(tree.path(), Graphics);
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(readText(manifest), text);
}

TEST_F(Manifest, LostPartsAreDroppedFoundOnesAddedTheRestKept)
{
    ASSERT_TRUE(platform::CreateDirectory(tree / "Configurations2"));
    writeFile(manifest, ManifestHead + RootEntry +
                            entry("Configurations2/", "application/vnd.sun.xml.ui") +
                            entry("Thumbnails/", "") + entry("content.xml", "text/xml") +
                            entry("settings.xml", "text/xml") +
                            " <manifest:file-entry manifest:full-path=\"styles.xml\" "
                            "manifest:media-type=\"text/xml\"><manifest:encryption-data "
                            "manifest:checksum=\"abc\"/></manifest:file-entry>\n" +
                            entry("Pictures/a.png", "image/png") + "</manifest:manifest>");
    const auto result = content::RepairManifest(tree.path(), Graphics);
    EXPECT_FALSE(result.rebuilt);
    EXPECT_EQ(result.dropped, 2u); // settings.xml and Thumbnails/
    EXPECT_EQ(result.added, 2u);   // b.svg and c.xyz
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/", Graphics},
        {"Configurations2/", "application/vnd.sun.xml.ui"},
        {"content.xml", "text/xml"},
        {"styles.xml", "text/xml"},
        {"Pictures/a.png", "image/png"},
        {"Pictures/b.svg", "image/svg+xml"},
        {"Pictures/c.xyz", ""}};
    EXPECT_EQ(entriesOf(manifest), expected);
    EXPECT_NE(readText(manifest).find("manifest:checksum=\"abc\""), std::string::npos);
}

TEST_F(Manifest, ARootEntryIsAddedFirstWhenMissing)
{
    writeFile(manifest, ManifestHead + entry("content.xml", "text/xml") + "</manifest:manifest>");
    (void)content::RepairManifest(tree.path(), Graphics);
    const auto entries = entriesOf(manifest);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), (std::pair<std::string, std::string>{"/", Graphics}));
}

TEST_F(Manifest, MediaTypeComesFromMimetypeThenManifestThenDefault)
{
    writeFile(tree / "mimetype", "application/vnd.oasis.opendocument.graphics-template");
    EXPECT_EQ(content::DocumentMediaType(tree.path()),
              "application/vnd.oasis.opendocument.graphics-template");

    writeFile(tree / "mimetype", "application/vnd.oasis.opend"); // cut short
    writeFile(manifest, ManifestHead +
                            " <manifest:file-entry manifest:full-path=\"/\" "
                            "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>\n" +
                            "</manifest:manifest>");
    EXPECT_EQ(content::DocumentMediaType(tree.path()), "application/vnd.oasis.opendocument.text");

    platform::DeleteFile(manifest);
    platform::DeleteFile(tree / "mimetype");
    EXPECT_EQ(content::DocumentMediaType(tree.path()), Graphics);
}

TEST_F(Manifest, MimetypeIsRestoredOnlyWhenMissingOrInvalid)
{
    EXPECT_FALSE(content::RestoreMimetype(tree.path(), Graphics));
    writeFile(tree / "mimetype", "\x01garbage");
    ASSERT_TRUE(platform::SetReadOnlyAttributes(tree / "mimetype"));
    EXPECT_TRUE(content::RestoreMimetype(tree.path(), Graphics));
    EXPECT_EQ(readText(tree / "mimetype"), Graphics);
    platform::DeleteFile(tree / "mimetype");
    EXPECT_TRUE(content::RestoreMimetype(tree.path(), Graphics));
    EXPECT_EQ(readText(tree / "mimetype"), Graphics);
}

} // namespace
