// Picking a damaged deflate stream up again inside the damaged block: the symbols after the
// damage are found by walking them, the block's header is put before them, and the bytes lost
// with the damage are guessed from how the text after it uses them.
#include "salvage/deflate_resync.h"
#include "salvage/lost_window.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "zip/inflate_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Shapes with text, as repetitive as a drawing's content part: most of it deflates into
// back-references, the words into literals.
std::string shapesDocument(int count)
{
    static const char* const Syllables[] = {"ka", "mo", "ri", "te", "lu", "zo", "pe", "ni"};
    std::uint32_t state = 99;
    std::string text = "<?xml version=\"1.0\"?><doc><page>";
    for (int i = 0; i < count; ++i) {
        text += "<rect style=\"gr" + std::to_string(i % 7) + "\" x=\"" + std::to_string(i % 40) +
                "." + std::to_string(i % 9) + "cm\" y=\"" + std::to_string(i / 40) + "cm\"><p>";
        for (int word = 0; word < 3; ++word) {
            for (int syllable = 0; syllable < 3; ++syllable) {
                state = state * 1103515245u + 12345u;
                text += Syllables[(state >> 16) % 8];
            }
            text += word < 2 ? " " : "";
        }
        text += "</p></rect>";
    }
    return text + "</page></doc>";
}

// What inflating input with a window of filler gives.
Bytes inflateAfterFiller(std::span<const std::uint8_t> input)
{
    zip::InflateStream stream;
    const Bytes filler(32768, salvage::ResyncFiller);
    EXPECT_TRUE(stream.RestartMidStream(filler, 0, 0));
    Bytes output(1 << 20);
    std::size_t produced = 0;
    for (auto status = zip::InflateStream::Status::Progress;
         status == zip::InflateStream::Status::Progress;) {
        const auto step = stream.Inflate(input, std::span(output).subspan(produced));
        input = input.subspan(step.consumed);
        produced += step.produced;
        status = step.status;
    }
    output.resize(produced);
    return output;
}

// The share of the bytes of tail that are not filler and equal the end of text, byte for byte
// from the right; and the share that is filler.
struct TailMatch
{
    double matching = 0;
    double filler = 0;
};

TailMatch tailMatch(const std::string& text, const Bytes& tail)
{
    if (tail.empty() || tail.size() > text.size())
        return {};
    const std::size_t offset = text.size() - tail.size();
    std::size_t known = 0;
    std::size_t same = 0;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (tail[i] == salvage::ResyncFiller)
            continue;
        ++known;
        same += static_cast<char>(tail[i]) == text[offset + i] ? 1 : 0;
    }
    return {known == 0 ? 0 : static_cast<double>(same) / static_cast<double>(known),
            static_cast<double>(tail.size() - known) / static_cast<double>(tail.size())};
}

TEST(BlockResume, SymbolStartFoundFromAnyBitLiesOnTheStream)
{
    const std::string text = shapesDocument(150);
    const Bytes data = testsupport::rawDeflate(testsupport::bytesOf(text));
    const auto codes = salvage::ReadBlockHeader(data, 0);
    ASSERT_TRUE(codes);
    for (std::size_t from = data.size() * 8 / 3; from < data.size() * 8 / 3 + 40; from += 3) {
        const auto start = salvage::FindSymbolStart(data, *codes, from);
        ASSERT_TRUE(start) << from;
        EXPECT_GE(*start, from);
        const Bytes tail = inflateAfterFiller(salvage::JoinHeaderTo(data, *codes, *start));
        ASSERT_GT(tail.size(), text.size() / 3) << from;
        EXPECT_EQ(tailMatch(text, tail).matching, 1.0) << from;
    }
}

TEST(BlockResume, NoiseHasNoBlockHeader)
{
    EXPECT_FALSE(salvage::ReadBlockHeader(testsupport::noise(64, 3), 0) &&
                 salvage::ReadBlockHeader(testsupport::noise(64, 4), 0) &&
                 salvage::ReadBlockHeader(testsupport::noise(64, 5), 0));
}

class WipedStream : public testing::Test
{
protected:
    std::string text = shapesDocument(150);
    Bytes data = testsupport::rawDeflate(testsupport::bytesOf(text));

    void SetUp() override
    {
        std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(data.size() / 2), 300,
                    std::uint8_t{0});
    }
};

TEST_F(WipedStream, GoesOnAfterTheWipedStretch)
{
    const auto resumed = salvage::InflateAcrossDamage(data, 1 << 24);
    ASSERT_EQ(resumed.pieces.size(), 2u);
    EXPECT_TRUE(resumed.ended);
    const Bytes& before = resumed.pieces[0];
    ASSERT_GT(before.size(), text.size() / 4);
    EXPECT_EQ(std::string(before.begin(), before.end()), text.substr(0, before.size()));
    const TailMatch after = tailMatch(text, resumed.pieces[1]);
    EXPECT_GT(resumed.pieces[1].size(), text.size() / 4);
    EXPECT_GE(after.matching, 0.95);
}

TEST_F(WipedStream, KnownLossLeavesLessFillerAfterIt)
{
    const auto first = salvage::InflateAcrossDamage(data, 1 << 24);
    ASSERT_EQ(first.pieces.size(), 2u);
    const std::size_t lost = text.size() - first.pieces[0].size() - first.pieces[1].size();
    const auto second = salvage::InflateAcrossDamage(data, 1 << 24, lost);
    ASSERT_EQ(second.pieces.size(), 2u);
    ASSERT_EQ(second.pieces[1].size(), first.pieces[1].size());
    const TailMatch without = tailMatch(text, first.pieces[1]);
    const TailMatch with = tailMatch(text, second.pieces[1]);
    EXPECT_LT(with.filler, without.filler);
    EXPECT_GE(with.matching, 0.95);
}

TEST(LostBytes, GuessedFromTheContextsOfTheirCopies)
{
    std::string before;
    for (int i = 0; i < 20; ++i)
        before += "<a>one</a><b>two</b>";
    const std::string lost = "<a>one";
    // After the lost bytes: their end tag, more text, then a copy of all of them.
    const std::string after = "</a><b>two</b>" + lost + "</a>";
    std::vector<std::int32_t> source(after.size(), salvage::KnownByte);
    for (std::size_t i = 0; i < lost.size(); ++i)
        source[14 + i] = static_cast<std::int32_t>(i);
    const auto guesses =
        salvage::GuessLostBytes(testsupport::bytesOf(before), lost.size(),
                                testsupport::bytesOf(std::string(after.size(), '?')), source);
    // The placeholder bytes of after must not matter: only the known ones are read.
    std::vector<std::uint8_t> known = testsupport::bytesOf(after);
    const auto fromKnown =
        salvage::GuessLostBytes(testsupport::bytesOf(before), lost.size(), known, source);
    ASSERT_EQ(fromKnown.size(), lost.size());
    for (std::size_t i = 0; i < lost.size(); ++i)
        EXPECT_EQ(fromKnown[i], static_cast<unsigned char>(lost[i])) << i;
    EXPECT_EQ(guesses.size(), lost.size());
}

TEST(LostBytes, NoGuessWithoutTellingContext)
{
    const Bytes before = testsupport::noise(2000, 9);
    const Bytes output = testsupport::noise(50, 10);
    std::vector<std::int32_t> source(output.size(), salvage::KnownByte);
    source[25] = 0;
    const auto guesses = salvage::GuessLostBytes(before, 1, output, source);
    ASSERT_EQ(guesses.size(), 1u);
    EXPECT_EQ(guesses[0], -1);
}

} // namespace
