// Joining the XML picked up after a gap to the XML before it: the elements open before the gap
// take what comes after; closes of elements whose start was lost, tags the filler damaged and
// names the part never uses go.
#include "content/xml_document.h"
#include "content/xml_splice.h"

#include <gtest/gtest.h>

namespace {

constexpr char Filler = '\x01';

struct SpliceCase
{
    const char* name;
    const char* before;
    const char* after;
    const char* expected;
};

constexpr SpliceCase Cases[] = {
    {"GoesOnInsideTheOpenElements", "<d><pg><s><p>one two ",
     "three</p></s><s><p>four</p></s></pg></d>",
     "<d><pg><s><p>one two three</p></s><s><p>four</p></s></pg></d>"},
    {"ClosesOfElementsNeverOpenedGo", "<d><pg><s><p>a</p></s>", "x</p></s><s><p>b</p></s></pg></d>",
     "<d><pg><s><p>a</p></s><s><p>b</p></s></pg></d>"},
    // On the page after theirs, as theirs shows shapes the text box would lie over.
    {"WordsThatLostTheirElementGetATextBoxOfTheirOwn",
     "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" xmlns:svg=\"s\"><office:body>"
     "<draw:page><draw:frame><draw:text-box><text:p>one</text:p></draw:text-box></draw:frame>",
     "\x01\x01lost words\x01</draw:text-box></draw:frame><draw:frame><draw:text-box><text:p>two"
     "</text:p></draw:text-box></draw:frame></draw:page></office:body></office:document-content>",
     "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" xmlns:svg=\"s\"><office:body>"
     "<draw:page><draw:frame><draw:text-box><text:p>one</text:p></draw:text-box></draw:frame>"
     "<draw:frame><draw:text-box><text:p>two</text:p></draw:text-box></draw:frame></draw:page>"
     "<draw:page><draw:frame draw:layer=\"layout\" svg:width=\"19cm\" svg:height=\"2cm\" "
     "svg:x=\"1cm\" "
     "svg:y=\"1cm\"><draw:text-box><text:p> lost words </text:p></draw:text-box></draw:frame>"
     "</draw:page></office:body></office:document-content>"},
    {"ElementSeenOnlyFurtherOutEndsThoseInBetween", "<d><pg><s><p>a</p></s><s><p>b",
     "\x01\x01\x01<s><p>c</p></s></pg></d>",
     "<d><pg><s><p>a</p></s><s><p>b </p></s><s><p>c</p></s></pg></d>"},
    {"AttributeTheFillerReachedGoes", "<d><pg><s x=\"1\"><p>a</p></s>",
     "<s x=\"\x01\" y=\"2\"><p>b</p></s></pg></d>",
     "<d><pg><s x=\"1\"><p>a</p></s><s y=\"2\"><p>b</p></s></pg></d>"},
    {"TagCutByFillerKeepsItsElement", "<d><pg><s x=\"1\"><p>a</p></s>",
     "<s y=\"2\" x=\"\x01\x01\x01\x01<p>b</p></s></pg></d>",
     "<d><pg><s x=\"1\"><p>a</p></s><s y=\"2\"><p>b</p></s></pg></d>"},
    {"WordsAfterATagCutByFillerStay", "<d><pg><s><p>a</p></s><s>",
     "<p y=\"2\" x=\"\x01\x01\x01 more words</p></s></pg></d>",
     "<d><pg><s><p>a</p></s><s><p y=\"2\"> more words</p></s></pg></d>"},
    {"TagWhoseNameIsLostGoesWithItsClose", "<d><pg><s x=\"1\"><p>a</p></s>",
     "<\x01\x01 a=\"1\"><p>b</p></\x01\x01></pg></d>",
     "<d><pg><s x=\"1\"><p>a</p></s><p>b</p></pg></d>"},
    {"NamesThePartNeverUsesGo", "<d><pg><s x=\"1\"><p>a</p></s>", "<zz><p>b</p></zz></pg></d>",
     "<d><pg><s x=\"1\"><p>a</p></s><p>b</p></pg></d>"},
    {"RestOfACutTagGoes", "<d><pg><s><p>a</p></s>", "e=\"gr2\"><p>b</p></s></pg></d>",
     "<d><pg><s><p>a</p></s><p>b</p></pg></d>"},
    {"BeforeIsCutBackToItsLastSoundPoint", "<d><pg><s><p>a</p></x>junk", "<s><p>b</p></s></pg></d>",
     "<d><pg><s><p>a</p></s><s><p>b</p></s></pg></d>"},
    {"NothingFollowsAWholeDocument", "<d><pg/></d>", "<pg/></d>", "<d><pg/></d>"},
    // The '<' of the tags around these words came from bytes the gap took: what is left of the
    // tags goes, and as the paragraph open before most likely ended among them, the words go
    // into a text box of their own.
    {"WordsAmongTheRestsOfTagsLeaveTheOpenElement",
     "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" xmlns:svg=\"s\"><office:body>"
     "<draw:page><draw:frame><draw:text-box><text:p>one",
     "\x01\x01layout\x01\x01x=\"2cm\"\x01>\x01\x01p>some words\x01\x01p\x01/\x01>"
     "</draw:text-box></draw:frame></draw:page></office:body></office:document-content>",
     "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" xmlns:svg=\"s\"><office:body>"
     "<draw:page><draw:frame><draw:text-box><text:p>one</text:p></draw:text-box></draw:frame>"
     "</draw:page><draw:page><draw:frame draw:layer=\"layout\" svg:width=\"19cm\" "
     "svg:height=\"2cm\" svg:x=\"1cm\" svg:y=\"1cm\"><draw:text-box><text:p> some words p "
     "</text:p></draw:text-box>"
     "</draw:frame></draw:page></office:body></office:document-content>"},
    {"HalfAReferenceAtTheCutGoes", "<d><pg><s><p>a &am", "<s><p>b &amp; c\x01;</p></s></pg></d>",
     "<d><pg><s><p>a </p></s><s><p>b &amp; c ;</p></s></pg></d>"},
};

class Splice : public testing::TestWithParam<SpliceCase>
{};

TEST_P(Splice, JoinsWhereTheElementsFit)
{
    EXPECT_EQ(content::SpliceAfterGap(GetParam().before, GetParam().after, Filler),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Splice, testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Splice, LeavesOpenWhatIsStillOpenForTheNextPiece)
{
    const std::string first = content::SpliceAfterGap("<d><pg><s><p>a</p></s>", "<s><p>b", Filler);
    EXPECT_EQ(first, "<d><pg><s><p>a</p></s><s><p>b");
    EXPECT_EQ(content::SpliceAfterGap(first, "c</p></s></pg></d>", Filler),
              "<d><pg><s><p>a</p></s><s><p>bc</p></s></pg></d>");
}

TEST(Splice, WordsFromBeforeTheBodyGetAPageOfTheirOwn)
{
    const std::string before = "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" "
                               "xmlns:svg=\"s\"><office:automatic-styles><style:style>";
    EXPECT_EQ(content::SpliceAfterGap(
                  before, "\x01\x01some words\x01</style:style></office:automatic-styles>", Filler),
              before + "</style:style></office:automatic-styles><office:body><office:drawing>"
                       "<draw:page draw:name=\"page1\"><draw:frame draw:layer=\"layout\" "
                       "svg:width=\"19cm\" svg:height=\"2cm\" svg:x=\"1cm\" svg:y=\"1cm\">"
                       "<draw:text-box><text:p> some words </text:p></draw:text-box></draw:frame>");
}

// A text box that grows past the edge of its page is cut off in print: words beyond what one
// page holds go on to pages of their own, a long paragraph parted between its words.
TEST(Splice, WordsBeyondAPagesWorthGoOnToPagesOfTheirOwn)
{
    const std::string before =
        "<office:document-content xmlns:draw=\"d\" xmlns:text=\"t\" xmlns:svg=\"s\">"
        "<office:body><draw:page><draw:frame><draw:text-box><text:p>one</text:p>";
    std::string words;
    for (int i = 0; i < 400; ++i)
        words += "word" + std::to_string(i) + " ";
    const std::string joined = content::SpliceAfterGap(
        before, "\x01\x01" + words + "\x01</draw:frame></draw:page></office:body>", Filler);
    const std::string closed = joined + "</office:document-content>";
    const auto doc = content::parseXmlMemory(closed, content::ParseMode::Strict);
    ASSERT_TRUE(doc) << closed;
    std::size_t pages = 0;
    std::string text;
    xmlNode* body = xmlDocGetRootElement(doc.get())->children;
    for (xmlNode* page = body->children; page; page = page->next, ++pages) {
        std::size_t boxes = 0;
        for (xmlNode* frame = page->children; frame; frame = frame->next) {
            xmlChar* content = xmlNodeGetContent(frame);
            const std::string frameText = reinterpret_cast<const char*>(content);
            xmlFree(content);
            if (frameText.find("word") != std::string::npos) {
                EXPECT_LE(frameText.size(), 20u * 55u) << "more than a page holds";
                ++boxes;
            }
            text += frameText + " ";
        }
        EXPECT_LE(boxes, 1u);
    }
    EXPECT_GE(pages, 3u);
    for (const std::string word : {"word0 ", "word199 ", "word399 "})
        EXPECT_NE(text.find(word), std::string::npos) << word;
}

// A gap that came right after the XML declaration took the root's start tag whole: only the
// caller can tell that the part was a drawing's content.
TEST(Splice, WordsOfAContentPartThatLostItsRootWholeGoIntoAnEmptyDrawing)
{
    const std::string before = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string after = "\x01\x01\x01>\x01p>one two\x01\x01p\x01/\x01>";
    EXPECT_EQ(content::SpliceAfterGap(before, after, Filler, false), before);
    const std::string joined = content::SpliceAfterGap(before, after, Filler, true);
    EXPECT_NE(joined.find("<draw:text-box><text:p> one two p </text:p></draw:text-box>"),
              std::string::npos)
        << joined;
    const std::string closed =
        joined + "</draw:page></office:drawing></office:body></office:document-content>";
    EXPECT_TRUE(content::parseXmlMemory(closed, content::ParseMode::Strict)) << closed;
}

// Reading the shared start once gives what reading each text whole gives, wherever that start
// ends: inside text, inside a tag, or after the damage.
TEST(SoundReader, AgreesWithReadingEachTextWhole)
{
    const std::string sound =
        "<?xml version=\"1.0\"?>\n<d a=\"1\"><pg><s x=\"2\"><p>one &amp; two</p></s><s>"
        "<p>three</p></s></pg></d>";
    std::vector<std::string> texts = {sound, sound.substr(0, 60)};
    for (const std::size_t at : {std::size_t{30}, std::size_t{45}, std::size_t{70}}) {
        std::string broken = sound;
        broken[at] = '<';
        texts.push_back(broken);
    }
    for (const std::string& text : texts) {
        for (std::size_t shared = 0; shared <= text.size(); shared += 7)
            EXPECT_EQ(
                content::SoundReader(std::string_view(text).substr(0, shared)).SoundLength(text),
                content::SoundLength(text))
                << text << " sharing " << shared;
    }
}

TEST(Splice, WordsOfAPartThatLostItsRootGoIntoAnEmptyDrawing)
{
    const std::string joined = content::SpliceAfterGap(
        "<?xml version=\"1.0\"?>\n<office:document-content xmlns:office=\"urn:o",
        "\x01\x01ords one\x01<draw:frame>two three</draw:frame>", Filler);
    EXPECT_EQ(joined.rfind("<?xml version=\"1.0\"?>\n<office:document-content xmlns:office=", 0),
              0u)
        << joined;
    EXPECT_NE(joined.find("<office:body><office:drawing><draw:page draw:name=\"page1\">"
                          "<draw:frame "),
              std::string::npos)
        << joined;
    EXPECT_NE(joined.find("<draw:text-box><text:p> ords one </text:p><text:p>two three</text:p>"
                          "</draw:text-box></draw:frame>"),
              std::string::npos)
        << joined;
    const std::string closed =
        joined + "</draw:page></office:drawing></office:body></office:document-content>";
    EXPECT_TRUE(content::parseXmlMemory(closed, content::ParseMode::Strict)) << closed;
}

} // namespace
