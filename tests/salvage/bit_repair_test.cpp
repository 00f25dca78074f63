// One flipped bit in a deflated entry is found and flipped back: the entry comes back whole and
// checked, whether inflate stumbled over the flip or read on through it into text that no
// longer parses.
#include "content/xml_splice.h"
#include "salvage/bit_repair.h"
#include "salvage_fixture.h"
#include "zip/inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <string>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

std::string drawingText()
{
    std::string text = "<?xml version=\"1.0\"?>\n<office:document-content "
                       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
                       "<office:body><office:drawing>";
    std::uint32_t state = 7;
    for (int i = 0; i < 400; ++i) {
        text += "<text:p>";
        for (int letter = 0; letter < 24; ++letter) {
            state = state * 1103515245u + 12345u;
            text += static_cast<char>('a' + (state >> 16) % 26);
        }
        text += "</text:p>";
    }
    return text + "</office:drawing></office:body></office:document-content>\n";
}

enum class Outcome
{
    Fails,   // inflate reports damage
    ReadsOn, // inflate reaches the end, with other bytes that are no longer sound XML
    Other,   // no difference that shows, or other text that still parses
};

Outcome outcomeOf(std::span<const std::uint8_t> data, const std::string& text)
{
    zip::InflateStream stream;
    Bytes output(text.size() * 2);
    std::size_t produced = 0;
    for (auto status = zip::InflateStream::Status::Progress;;) {
        const auto step = stream.Inflate(data, std::span(output).subspan(produced));
        data = data.subspan(step.consumed);
        produced += step.produced;
        status = step.status;
        if (status == zip::InflateStream::Status::StreamEnd) {
            const std::string_view got(reinterpret_cast<const char*>(output.data()), produced);
            return content::SoundLength(got) < got.size() ? Outcome::ReadsOn : Outcome::Other;
        }
        if (status != zip::InflateStream::Status::Progress)
            return Outcome::Fails;
    }
}

// The first bit from the middle of data on whose flip has the given outcome.
std::size_t bitWith(const Bytes& data, const std::string& text, Outcome wanted)
{
    Bytes flipped = data;
    for (std::size_t bit = data.size() * 4; bit < data.size() * 8; ++bit) {
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        const Outcome outcome = outcomeOf(flipped, text);
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        if (outcome == wanted)
            return bit;
    }
    ADD_FAILURE() << "no such bit";
    return 0;
}

salvage::Checksum checksumOf(const std::string& text)
{
    return {static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                                             static_cast<uInt>(text.size()))),
            static_cast<std::uint32_t>(text.size())};
}

class FlippedBit : public testing::TestWithParam<Outcome>
{
protected:
    std::string text = drawingText();
    Bytes data = testsupport::rawDeflate(testsupport::bytesOf(text));
};

TEST_P(FlippedBit, IsFoundNearWhereItShows)
{
    const std::size_t bit = bitWith(data, text, GetParam());
    data[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    const auto found =
        salvage::FindFlippedBit(data, bit - 300, bit + 300, checksumOf(text), std::size_t{1} << 30);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, bit);
}

TEST_P(FlippedBit, IsNotFoundOutsideTheBitsTried)
{
    const std::size_t bit = bitWith(data, text, GetParam());
    data[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(
        salvage::FindFlippedBit(data, bit + 1, bit + 300, checksumOf(text), std::size_t{1} << 30));
}

INSTANTIATE_TEST_SUITE_P(Cases, FlippedBit, testing::Values(Outcome::Fails, Outcome::ReadsOn),
                         [](const auto& info) {
                             return std::string(info.param == Outcome::Fails ? "InflateFails"
                                                                             : "InflateReadsOn");
                         });

TEST(FlippedBits, TwoAreNotMistakenForOne)
{
    const std::string text = drawingText();
    Bytes data = testsupport::rawDeflate(testsupport::bytesOf(text));
    const std::size_t bit = bitWith(data, text, Outcome::Fails);
    data[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    data[bit / 8 - 40] ^= 0x10;
    EXPECT_FALSE(
        salvage::FindFlippedBit(data, bit - 600, bit + 8, checksumOf(text), std::size_t{1} << 30));
}

TEST(InputByteAtOutput, IsTheByteThatGivesThatOutput)
{
    const std::string text = drawingText();
    const Bytes data = testsupport::rawDeflate(testsupport::bytesOf(text));
    const auto byte = salvage::InputByteAtOutput(data, text.size() / 2);
    ASSERT_TRUE(byte);
    EXPECT_GT(*byte, 0u);
    EXPECT_LT(*byte, data.size());
    EXPECT_FALSE(salvage::InputByteAtOutput(data, text.size() + 1));
}

class FlippedEntry : public SalvageTest, public testing::WithParamInterface<Outcome>
{};

TEST_P(FlippedEntry, ComesBackIntact)
{
    const std::string text = drawingText();
    auto zip =
        ZipBuilder()
            .add(
                {.name = "content.xml", .data = testsupport::bytesOf(text), .dataDescriptor = true})
            .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
            .build();
    const std::size_t start = zip.dataOffsets[0];
    const Bytes data(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                     zip.bytes.begin() +
                         static_cast<std::ptrdiff_t>(zip.localHeaderOffsets[1] - 16));
    const std::size_t bit = bitWith(data, text, GetParam());
    zip.bytes[start + bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    salvage(zip.bytes);
    EXPECT_EQ(file("content.xml"), testsupport::bytesOf(text));
    const auto& entries = repairer.Report().entries;
    const auto report = std::find_if(entries.begin(), entries.end(),
                                     [](const EntryReport& e) { return e.name == "content.xml"; });
    ASSERT_NE(report, entries.end());
    EXPECT_EQ(report->state, EntryState::Intact);
}

INSTANTIATE_TEST_SUITE_P(Cases, FlippedEntry, testing::Values(Outcome::Fails, Outcome::ReadsOn),
                         [](const auto& info) {
                             return std::string(info.param == Outcome::Fails ? "InflateFails"
                                                                             : "InflateReadsOn");
                         });

} // namespace
