#include "content/picture_references.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testsupport::TempDir;

const std::string Frame =
    "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><office:body><office:drawing><draw:page>"
    "<draw:frame draw:name=\"plan\">"
    "<draw:image xlink:href=\"Pictures/plan.svg\"><text:p/></draw:image>"
    "<draw:image xlink:href=\"Pictures/plan.png\"/></draw:frame>"
    "<draw:frame><draw:object xlink:href=\"./Object 1\"/></draw:frame>"
    "<draw:a xlink:href=\"https://example.org/x.png\"><draw:frame/></draw:a>"
    "<draw:a xlink:href=\"#page2\"/>"
    "<text:p>kept text</text:p>"
    "</draw:page></office:drawing></office:body></office:document-content>";

class MissingReferences : public testing::Test
{
protected:
    TempDir tree;
    std::string part = tree / "content.xml";
    void SetUp() override
    {
        testsupport::writeFile(part, Frame);
        ASSERT_TRUE(platform::CreateDirectory(tree / "Pictures"));
    }
};

TEST_F(MissingReferences, RemovesOnlyTheImagesThatAreGone)
{
    testsupport::writeFile(tree / "Pictures/plan.png", "png");
    ASSERT_TRUE(platform::CreateDirectory(tree / "Object 1"));
    EXPECT_EQ(content::DropMissingReferences(part, tree.path()), 1u);
    const std::string text = testsupport::readText(part);
    EXPECT_EQ(text.find("plan.svg"), std::string::npos);
    EXPECT_NE(text.find("Pictures/plan.png"), std::string::npos);
    EXPECT_NE(text.find("draw:name=\"plan\""), std::string::npos); // the frame keeps its place
    EXPECT_NE(text.find("Object 1"), std::string::npos);
    EXPECT_NE(text.find("https://example.org/x.png"), std::string::npos);
    EXPECT_NE(text.find("#page2"), std::string::npos);
    EXPECT_NE(text.find("kept text"), std::string::npos);
}

TEST_F(MissingReferences, EmptiesAFrameWhosePicturesAreAllGone)
{
    EXPECT_EQ(content::DropMissingReferences(part, tree.path()), 3u);
    const std::string text = testsupport::readText(part);
    EXPECT_EQ(text.find("Pictures/"), std::string::npos);
    EXPECT_EQ(text.find("Object 1"), std::string::npos);
    EXPECT_NE(text.find("<draw:frame draw:name=\"plan\"/>"), std::string::npos) << text;
}

TEST_F(MissingReferences, LeavesACompletePartByteForByte)
{
    testsupport::writeFile(tree / "Pictures/plan.png", "png");
    testsupport::writeFile(tree / "Pictures/plan.svg", "svg");
    ASSERT_TRUE(platform::CreateDirectory(tree / "Object 1"));
    EXPECT_EQ(content::DropMissingReferences(part, tree.path()), 0u);
    EXPECT_EQ(testsupport::readText(part), Frame);
}

TEST_F(MissingReferences, LeavesAPartThatDoesNotParseAlone)
{
    testsupport::writeFile(part, Frame.substr(0, 200));
    EXPECT_EQ(content::DropMissingReferences(part, tree.path()), 0u);
    EXPECT_EQ(testsupport::readText(part), Frame.substr(0, 200));
}

} // namespace
