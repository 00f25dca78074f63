#include "content/xml_document.h"
#include "content/xml_repair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using content::XmlRepairResult;
using testsupport::TempDir;

const std::string Content =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\">"
    "<office:body><office:drawing><draw:page draw:name=\"page1\">"
    "<draw:frame><draw:text-box><text:p>Vegetable beds</text:p></draw:text-box></draw:frame>"
    "<draw:frame><draw:text-box><text:p>Pond and roses</text:p></draw:text-box></draw:frame>"
    "</draw:page></office:drawing></office:body></office:document-content>";

std::string repaired(const TempDir& dir, const std::string& text, XmlRepairResult expected)
{
    const std::string path = dir / "content.xml";
    testsupport::writeFile(path, text);
    EXPECT_EQ(content::RepairXmlPart(path), expected);
    return testsupport::readText(path);
}

TEST(XmlRepair, LeavesAWellFormedPartByteForByte)
{
    TempDir dir;
    EXPECT_EQ(repaired(dir, Content, XmlRepairResult::WellFormed), Content);
}

struct CutCase
{
    const char* name;
    const char* cutBefore; // the part ends just before this text
    const char* kept;      // text that must survive
    const char* lost;      // text that must be gone
};

constexpr CutCase CutCases[] = {
    {"InsideText", "roses</text:p>", "Pond and", "roses"},
    {"InsideATag", "xt-box><text:p>Pond", "Vegetable beds", "Pond"},
    {"InsideAnAttributeValue", "1\"><draw:frame>", "<office:body", "Vegetable"},
    {"BeforeAnyClosingTag", "</draw:page>", "Pond and roses", "never there"},
};

class XmlRepairCut : public testing::TestWithParam<CutCase>
{};

TEST_P(XmlRepairCut, KeepsWhatParsesAndClosesTheOpenElements)
{
    const auto& c = GetParam();
    TempDir dir;
    const std::string cut = Content.substr(0, Content.find(c.cutBefore));
    const std::string text = repaired(dir, cut, XmlRepairResult::Repaired);
    EXPECT_NE(text.find(c.kept), std::string::npos) << text;
    EXPECT_EQ(text.find(c.lost), std::string::npos) << text;
    EXPECT_NE(text.find("</office:document-content>"), std::string::npos) << text;
    EXPECT_TRUE(content::parseXmlFile(dir / "content.xml", content::ParseMode::Strict));
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlRepairCut, testing::ValuesIn(CutCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlRepair, GarbledBytesDoNotCostTheRestOfThePart)
{
    TempDir dir;
    std::string garbled = Content;
    const auto at = garbled.find("Vegetable");
    garbled[at + 2] = '\xFF'; // not UTF-8
    garbled[at + 4] = '\x01'; // a control character XML forbids
    const std::string text = repaired(dir, garbled, XmlRepairResult::Repaired);
    EXPECT_NE(text.find("Pond and roses"), std::string::npos) << text;
    EXPECT_NE(text.find("Ve\xEF\xBF\xBD"), std::string::npos) << text;
}

TEST(XmlRepair, AnAttributeGivenTwiceCostsOnlyItsSecondCopy)
{
    TempDir dir;
    std::string twice = Content;
    twice.replace(twice.find("<draw:page draw:name=\"page1\">"), 29,
                  "<draw:page draw:name=\"page1\" draw:name=\"page2\">");
    const std::string text = repaired(dir, twice, XmlRepairResult::Repaired);
    EXPECT_NE(text.find("<draw:page draw:name=\"page1\">"), std::string::npos) << text;
    EXPECT_NE(text.find("Pond and roses"), std::string::npos) << text;
}

TEST(XmlRepair, ReplacesAReadOnlyPart)
{
    TempDir dir;
    const std::string path = dir / "content.xml";
    testsupport::writeFile(path, Content.substr(0, Content.size() / 2));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(content::RepairXmlPart(path), XmlRepairResult::Repaired);
    EXPECT_TRUE(content::parseXmlFile(path, content::ParseMode::Strict));
}

TEST(XmlRepair, GivesUpOnPartsWithNothingUsable)
{
    TempDir dir;
    for (const std::string text :
         {std::string(), std::string("\x1f\x8b\x08 binary", 10),
          std::string("<?xml version=\"1.0\"?>"), std::string(4096, '\0')}) {
        const std::string path = dir / "part.xml";
        testsupport::writeFile(path, text);
        EXPECT_EQ(content::RepairXmlPart(path), XmlRepairResult::Unrecoverable);
        EXPECT_EQ(testsupport::readText(path), text); // left as it was for the caller to drop
    }
    EXPECT_EQ(content::RepairXmlPart(dir / "missing.xml"), XmlRepairResult::Unrecoverable);
}

TEST(XmlRepair, NeverExpandsEntitiesOrFetchesAnything)
{
    TempDir dir;
    testsupport::writeFile(dir / "secret.txt", "SECRET");
    const std::string text =
        repaired(dir,
                 "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" +
                     dir / "secret.txt" + "\">]><r>&x;<cut",
                 XmlRepairResult::Repaired);
    EXPECT_EQ(text.find("SECRET"), std::string::npos);
}

} // namespace
