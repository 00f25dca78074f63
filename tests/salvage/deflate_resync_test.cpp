// An XML part damaged midway goes on after the damage: the words after the damage come back
// after what came before it, inside the elements they belong to; damage followed by noise only
// keeps what came before it.
#include "content/xml_repair.h"
#include "salvage/deflate_resync.h"
#include "salvage_fixture.h"
#include "zip/inflate_stream.h"

#include <algorithm>
#include <cstdint>
#include <sys/stat.h>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

constexpr std::string_view Opening =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<office:document-content "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
    "<office:body><office:drawing>\n";
constexpr std::string_view Closing = "</office:drawing></office:body></office:document-content>\n";

// Paragraphs of made-up words that repeat nowhere, so that the text compresses into many
// deflate blocks and each word can be told apart. Words of random letters share many three-letter
// runs, which deflate codes as back-references; those that reach into the lost window come back
// as filler and cut the word, so only about a third of the words after the damage survive whole.
std::vector<std::string> paragraphs(int count)
{
    std::uint32_t state = 12345;
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string line = "<text:p>";
        for (int word = 0; word < 3; ++word) {
            if (word > 0)
                line += ' ';
            for (int letter = 0; letter < 7; ++letter) {
                state = state * 1103515245u + 12345u;
                line += static_cast<char>('a' + (state >> 16) % 26);
            }
        }
        lines.push_back(line + "</text:p>\n");
    }
    return lines;
}

std::string documentOf(const std::vector<std::string>& lines)
{
    std::string text(Opening);
    for (const auto& line : lines)
        text += line;
    return text + std::string(Closing);
}

const EntryReport* reportOf(const CFileRepairer& repairer, const std::string& name)
{
    const auto& entries = repairer.Report().entries;
    const auto it = std::find_if(entries.rbegin(), entries.rend(),
                                 [&](const EntryReport& e) { return e.name == name; });
    return it == entries.rend() ? nullptr : &*it;
}

struct Damage
{
    const char* name;
    enum Kind
    {
        CutOut,
        Overwritten,
        Zeroed,
    } kind;
    std::size_t length;
};

constexpr Damage Damages[] = {
    {"CutOutChunk", Damage::CutOut, 300},
    {"OverwrittenWithNoise", Damage::Overwritten, 200},
    {"WipedWithZeros", Damage::Zeroed, 600},
};

class DamagedXmlPart : public SalvageTest, public testing::WithParamInterface<Damage>
{
protected:
    std::vector<std::string> lines = paragraphs(3000);
    std::string text = documentOf(lines);

    // Salvages content.xml with the damage in the middle of its compressed data.
    void salvageDamaged()
    {
        auto zip = ZipBuilder()
                       .add({.name = "content.xml",
                             .data = testsupport::bytesOf(text),
                             .dataDescriptor = true})
                       .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                       .build();
        const std::size_t middle =
            zip.dataOffsets[0] + (zip.localHeaderOffsets[1] - zip.dataOffsets[0]) / 2;
        const auto at = zip.bytes.begin() + static_cast<std::ptrdiff_t>(middle);
        const auto length = static_cast<std::ptrdiff_t>(GetParam().length);
        switch (GetParam().kind) {
        case Damage::Overwritten: {
            const Bytes junk = testsupport::noise(GetParam().length, 5);
            std::copy(junk.begin(), junk.end(), at);
            break;
        }
        case Damage::CutOut:
            zip.bytes.erase(at, at + length);
            break;
        case Damage::Zeroed:
            std::fill(at, at + length, std::uint8_t{0});
            break;
        }
        salvage(zip.bytes);
    }

    // How many bytes at the front of got are the original text's.
    [[nodiscard]] std::size_t keptPrefix(const std::string& got) const
    {
        return static_cast<std::size_t>(
            std::mismatch(got.begin(), got.end(), text.begin(), text.end()).first - got.begin());
    }

    // Of the words of the paragraphs that start at or after byte `from` of the text, the share
    // found in got after byte `from`.
    [[nodiscard]] double shareFoundAfter(std::size_t from, const std::string& got) const
    {
        constexpr std::size_t Tag = std::string_view("<text:p>").size();
        std::size_t start = Opening.size();
        std::size_t later = 0;
        std::size_t found = 0;
        for (const auto& line : lines) {
            if (start >= from) {
                for (std::size_t word = Tag; word < Tag + 3 * 8; word += 8) {
                    ++later;
                    found += got.find(line.substr(word, 7), from) != std::string::npos ? 1 : 0;
                }
            }
            start += line.size();
        }
        return later == 0 ? 0.0 : static_cast<double>(found) / static_cast<double>(later);
    }
};

TEST_P(DamagedXmlPart, KeepsTextOnBothSidesOfTheDamage)
{
    salvageDamaged();
    const Bytes bytes = file("content.xml");
    const std::string got(bytes.begin(), bytes.end());
    const std::size_t prefix = keptPrefix(got);
    EXPECT_GT(prefix, text.size() / 4);
    EXPECT_LT(prefix, text.size());
    EXPECT_GE(shareFoundAfter(prefix, got), 0.25);
    ASSERT_TRUE(reportOf(repairer, "content.xml"));
    EXPECT_EQ(reportOf(repairer, "content.xml")->state, EntryState::Partial);
    EXPECT_EQ(reportOf(repairer, "content.xml")->size, static_cast<std::int64_t>(got.size()));
    EXPECT_EQ(file("meta.xml"), testsupport::bytesOf("<meta/>\n"));
}

TEST_P(DamagedXmlPart, MendedPartParsesAndKeepsTextAfterTheDamage)
{
    salvageDamaged();
    const Bytes before = file("content.xml");
    const std::size_t prefix = keptPrefix(std::string(before.begin(), before.end()));
    // The mended part is written anew, so the read-only file is made writable first.
    ASSERT_EQ(::chmod((tree + "content.xml").c_str(), 0644), 0);
    // A part whose elements all fitted together again parses as it is.
    ASSERT_NE(content::RepairXmlPart(tree + "content.xml"),
              content::XmlRepairResult::Unrecoverable);
    const std::string mended = testsupport::readText(tree + "content.xml");
    EXPECT_NE(mended.find(lines.front()), std::string::npos);
    EXPECT_GE(shareFoundAfter(prefix, mended), 0.25);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedXmlPart, testing::ValuesIn(Damages),
                         [](const auto& info) { return std::string(info.param.name); });

// What inflate gives of data before its first error.
Bytes inflatedBeforeError(std::span<const std::uint8_t> data)
{
    zip::InflateStream stream;
    Bytes output(65536);
    Bytes result;
    auto status = zip::InflateStream::Status::Progress;
    while (status == zip::InflateStream::Status::Progress) {
        const auto step = stream.Inflate(data, output);
        data = data.subspan(step.consumed);
        result.insert(result.end(), output.begin(),
                      output.begin() + static_cast<std::ptrdiff_t>(step.produced));
        status = step.status;
    }
    return result;
}

TEST_F(SalvageTest, NoiseAfterDamageAddsNothing)
{
    const std::string text = documentOf(paragraphs(3000));
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = testsupport::bytesOf(text)})
                   .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                   .build();
    const std::size_t start = zip.dataOffsets[0];
    const std::size_t end = zip.localHeaderOffsets[1];
    const std::size_t middle = start + (end - start) / 2;
    const Bytes junk = testsupport::noise(end - middle, 7);
    std::copy(junk.begin(), junk.end(), zip.bytes.begin() + static_cast<std::ptrdiff_t>(middle));
    salvage(zip.bytes);

    const Bytes expected = inflatedBeforeError(std::span(zip.bytes).subspan(start, end - start));
    ASSERT_GT(expected.size(), text.size() / 4);
    EXPECT_EQ(file("content.xml"), expected);
    EXPECT_EQ(file("meta.xml"), testsupport::bytesOf("<meta/>\n"));
}

// Wiped from just after its XML declaration, a content part loses its root's start tag whole;
// the words after the damage still come back, on the page of a drawing made for them.
TEST_F(SalvageTest, AContentPartThatLostItsRootTagKeepsTheWordsAfterTheDamage)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
                       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                       "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                       "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\">"
                       "<office:body><office:drawing><draw:page>";
    const auto lines = paragraphs(1500);
    for (const auto& line : lines)
        text += "<draw:frame><draw:text-box>" + line + "</draw:text-box></draw:frame>";
    text += "</draw:page></office:drawing></office:body></office:document-content>\n";
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = testsupport::bytesOf(text)})
                   .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                   .build();
    // The first block's codes take some hundred bytes; the declaration's few dozen follow.
    const Bytes deflated = testsupport::rawDeflate(testsupport::bytesOf(text));
    std::size_t cut = 0;
    while (cut < deflated.size() && inflatedBeforeError(std::span(deflated).first(cut)).size() < 20)
        ++cut;
    const std::size_t start = zip.dataOffsets[0];
    const std::size_t wiped = (zip.localHeaderOffsets[1] - start) / 2;
    std::fill_n(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start + cut), wiped,
                std::uint8_t{0});
    salvage(zip.bytes);

    ASSERT_EQ(::chmod((tree + "content.xml").c_str(), 0644), 0);
    ASSERT_NE(content::RepairXmlPart(tree + "content.xml"),
              content::XmlRepairResult::Unrecoverable);
    const std::string mended = testsupport::readText(tree + "content.xml");
    EXPECT_NE(mended.find("<draw:page"), std::string::npos) << mended.substr(0, 400);
    std::size_t found = 0;
    for (std::size_t line = lines.size() - 100; line < lines.size(); ++line)
        found += mended.find(lines[line].substr(8, 7)) != std::string::npos ? 1 : 0;
    EXPECT_GE(found, 25u);
}

TEST(DynamicBlockHeader, FoundAtEachBlockStartOfRealDeflateData)
{
    // zlib starts text of this size with a block of dynamic codes; noise seldom passes.
    const std::string text = documentOf(paragraphs(200));
    const Bytes deflated = testsupport::rawDeflate(testsupport::bytesOf(text));
    EXPECT_TRUE(salvage::IsDynamicBlockHeader(deflated, {0, 0}));
    const Bytes junk = testsupport::noise(4096, 3);
    std::size_t accepted = 0;
    for (std::size_t byte = 0; byte + 64 < junk.size(); ++byte)
        for (unsigned bit = 0; bit < 8; ++bit)
            accepted += salvage::IsDynamicBlockHeader(junk, {byte, bit}) ? 1 : 0;
    EXPECT_LT(accepted, 20u);
}

} // namespace
