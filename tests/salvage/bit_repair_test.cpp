// One flipped bit in a deflated entry is found and flipped back: the entry comes back whole and
// checked, whether inflate stumbled over the flip or read on through it into text that no
// longer parses.
#include "content/xml_splice.h"
#include "salvage/bit_repair.h"
#include "salvage_fixture.h"
#include "zip/inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <functional>
#include <numeric>
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

std::string inflated(std::span<const std::uint8_t> data)
{
    std::string text(std::size_t{1} << 20, '\0');
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(text.data());
    stream.avail_out = static_cast<uInt>(text.size());
    const bool ended = inflate(&stream, Z_FINISH) == Z_STREAM_END;
    text.resize(ended ? stream.total_out : 0);
    inflateEnd(&stream);
    return text;
}

// The first bit from `from` on whose flip has the given outcome, and, for Outcome::Other, changes
// the text without changing its size.
std::size_t bitFrom(const Bytes& data, const std::string& text, Outcome wanted, std::size_t from)
{
    Bytes flipped = data;
    for (std::size_t bit = from; bit < data.size() * 8; ++bit) {
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        bool found = outcomeOf(flipped, text) == wanted;
        if (found && wanted == Outcome::Other) {
            const std::string got = inflated(flipped);
            found = got.size() == text.size() && got != text;
        }
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        if (found)
            return bit;
    }
    ADD_FAILURE() << "no such bit";
    return 0;
}

// Several flipped bits in one part: each is found in turn as the flip after which the text reads
// on furthest. With all of them found the part checks; when the last changed only letters, which
// nothing shows, the part still comes back whole, and is reported damaged.
class SeveralFlippedBits : public SalvageTest, public testing::WithParamInterface<bool>
{};

TEST_P(SeveralFlippedBits, AreFoundInTurn)
{
    const std::string text = drawingText();
    const bool lastIsSilent = GetParam();
    {
        auto zip = ZipBuilder()
                       .add({.name = "content.xml", .data = testsupport::bytesOf(text)})
                       .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                       .build();
        const std::size_t start = zip.dataOffsets[0];
        const Bytes data(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                         zip.bytes.begin() +
                             static_cast<std::ptrdiff_t>(zip.localHeaderOffsets[1]));
        const std::size_t first = bitFrom(data, text, Outcome::ReadsOn, data.size() * 2);
        const std::size_t second = bitFrom(data, text, Outcome::ReadsOn, data.size() * 4);
        const std::size_t third =
            bitFrom(data, text, lastIsSilent ? Outcome::Other : Outcome::Fails, data.size() * 6);
        for (const std::size_t bit : {first, second, third})
            zip.bytes[start + bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        salvage(zip.bytes);
        const Bytes got = file("content.xml");
        ASSERT_EQ(repairer.Report().entries.size(), 2u);
        if (lastIsSilent) {
            EXPECT_EQ(repairer.Report().entries[0].state, EntryState::Damaged);
            ASSERT_EQ(got.size(), text.size());
            const auto differing = std::inner_product(
                got.begin(), got.end(), text.begin(), std::size_t{0}, std::plus<>(),
                [](char a, char b) { return a != b ? std::size_t{1} : std::size_t{0}; });
            EXPECT_LT(differing, 16u);
        } else {
            EXPECT_EQ(repairer.Report().entries[0].state, EntryState::Intact);
            EXPECT_EQ(got, testsupport::bytesOf(text));
        }
    }
}

// Damage that no flipped bits found undo, after which the stream reads on to about the size the
// part must have: what follows the spot that does not read is kept, not cut away with it.
TEST_F(SalvageTest, TextAfterDamageThatInflateReadsThroughIsKept)
{
    const std::string text = drawingText();
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = testsupport::bytesOf(text)})
                   .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                   .build();
    const std::size_t start = zip.dataOffsets[0];
    Bytes data(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
               zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.localHeaderOffsets[1]));
    // Three bits of one byte in the first third: a burst, no single flip.
    std::size_t byte = data.size() / 3;
    for (; byte < data.size() / 2; ++byte) {
        data[byte] ^= 0x07;
        const std::string got = inflated(data);
        data[byte] ^= 0x07;
        const auto size = static_cast<std::int64_t>(got.size());
        if (size > 0 && std::abs(size - static_cast<std::int64_t>(text.size())) <= 16 &&
            content::SoundLength(got) < got.size() / 2)
            break;
    }
    ASSERT_LT(byte, data.size() / 2) << "no such byte";
    zip.bytes[start + byte] ^= 0x07;
    salvage(zip.bytes);
    const Bytes got = file("content.xml");
    const std::string kept(got.begin(), got.end());
    ASSERT_EQ(repairer.Report().entries.size(), 2u);
    EXPECT_EQ(repairer.Report().entries[0].state, EntryState::Partial);
    // Words of the last paragraphs, well after the damage, are there; copies from the damaged
    // stretch spoil some.
    std::size_t found = 0;
    std::size_t tried = 0;
    for (std::size_t at = text.size() / 2; (at = text.find("<text:p>", at)) != std::string::npos;
         at += 8, ++tried)
        found += kept.find(text.substr(at + 8, 6), text.size() / 3) != std::string::npos ? 1 : 0;
    EXPECT_GT(found, tried / 4) << found << " of " << tried;
}

INSTANTIATE_TEST_SUITE_P(Cases, SeveralFlippedBits, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "LastChangesOnlyLetters" : "AllShow");
});

// Styles write long tags: a flip inside one shows only where the tag stops reading, well after
// the last sound point before it.
std::string stylesText()
{
    std::string text = "<?xml version=\"1.0\"?>\n<office:document-styles "
                       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                       "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\">"
                       "<office:styles>";
    std::uint32_t state = 11;
    for (int i = 0; i < 60; ++i) {
        text += "<style:style";
        for (int attribute = 0; attribute < 12; ++attribute) {
            text += " style:a" + std::to_string(attribute) + "=\"";
            for (int digit = 0; digit < 6; ++digit) {
                state = state * 1103515245u + 12345u;
                text += static_cast<char>('0' + (state >> 16) % 10);
            }
            text += "cm\"";
        }
        text += "/>";
    }
    return text + "</office:styles></office:document-styles>\n";
}

TEST_F(SalvageTest, AFlipThatShowsOnlyAtTheEndOfALongTagIsFound)
{
    const std::string text = stylesText();
    auto zip = ZipBuilder().add({.name = "styles.xml", .data = testsupport::bytesOf(text)}).build();
    const std::size_t start = zip.dataOffsets[0];
    Bytes data(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
               zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.centralDirectoryOffset));
    // A flip that reads on to the end, with the text sound only up to before the flip's byte.
    std::size_t bit = data.size() * 4;
    for (; bit < data.size() * 8; ++bit) {
        data[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        const std::string got = inflated(data);
        const std::size_t sound = content::SoundLength(got);
        const auto soundInput = salvage::InputByteAtOutput(data, sound);
        data[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        if (got.size() == text.size() && sound < got.size() && soundInput &&
            *soundInput + 8 < bit / 8)
            break;
    }
    ASSERT_LT(bit, data.size() * 8) << "no such bit";
    zip.bytes[start + bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    salvage(zip.bytes);
    EXPECT_EQ(file("styles.xml"), testsupport::bytesOf(text));
    ASSERT_EQ(repairer.Report().entries.size(), 1u);
    EXPECT_EQ(repairer.Report().entries[0].state, EntryState::Intact);
}

} // namespace

namespace {

// A PNG file made of chunks with their CRC-32s; its picture data is noise, as IsSoundPng only
// reads the chunks.
Bytes pngOf(std::size_t dataSize)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const Bytes& data) {
        for (const int shift : {24, 16, 8, 0})
            png.push_back(static_cast<std::uint8_t>(data.size() >> shift));
        const std::size_t typed = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, png.data() + typed, static_cast<uInt>(png.size() - typed)));
        for (const int shift : {24, 16, 8, 0})
            png.push_back(static_cast<std::uint8_t>(crc >> shift));
    };
    chunk("IHDR", Bytes{0, 0, 1, 0, 0, 0, 1, 0, 8, 2, 0, 0, 0});
    chunk("IDAT", testsupport::noise(dataSize, 31));
    chunk("IEND", {});
    return png;
}

std::uint32_t crcOf(const Bytes& data)
{
    return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

TEST(FlippedStoredBit, FoundFromHowFarTheCrcIsOff)
{
    const Bytes original = testsupport::noise(100000, 5);
    for (const std::size_t bit :
         {std::size_t{0}, std::size_t{7}, std::size_t{412345}, original.size() * 8 - 1}) {
        Bytes damaged = original;
        damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_EQ(salvage::FindFlippedBitByCrc(damaged, crcOf(original)), bit);
    }
    EXPECT_FALSE(salvage::FindFlippedBitByCrc(original, crcOf(original)));
}

TEST(FlippedStoredBit, PngChunksTellAWrongMendFromARightOne)
{
    const Bytes png = pngOf(5000);
    EXPECT_TRUE(salvage::IsSoundPng(png));
    Bytes damaged = png;
    damaged[2000] ^= 0x04;
    EXPECT_FALSE(salvage::IsSoundPng(damaged));
    EXPECT_FALSE(salvage::IsSoundPng(Bytes(png.begin(), png.end() - 12))); // no end chunk
}

struct StoredFlip
{
    const char* name;
    Bytes (*make)();
    bool mended;
};

const StoredFlip StoredFlips[] = {
    // Large enough that only the PNG's own checksums make a mend trustworthy.
    {"PngPicture", [] { return pngOf(200000); }, true},
    {"LargeUncheckableFile", [] { return testsupport::noise(200000, 8); }, false},
    {"SmallFile", [] { return testsupport::noise(3000, 9); }, true},
};

class FlippedStoredEntry : public SalvageTest, public testing::WithParamInterface<StoredFlip>
{};

TEST_P(FlippedStoredEntry, ComesBackIntactWhenTheMendCanBeTrusted)
{
    const Bytes picture = GetParam().make();
    auto zip = ZipBuilder()
                   .add({.name = "Pictures/p.png", .data = picture, .method = 0})
                   .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                   .build();
    zip.bytes[zip.dataOffsets[0] + picture.size() / 2] ^= 0x20;
    salvage(zip.bytes);
    const auto& entries = repairer.Report().entries;
    const auto report = std::find_if(entries.rbegin(), entries.rend(), [](const EntryReport& e) {
        return e.name == "Pictures/p.png";
    });
    ASSERT_NE(report, entries.rend());
    // Unmended, all of it is there, and its checksum tells it is wrong.
    EXPECT_EQ(report->state, GetParam().mended ? EntryState::Intact : EntryState::Damaged);
    EXPECT_EQ(file("Pictures/p.png") == picture, GetParam().mended);
}

// A deflated picture whose flip inflate reads through to the end: kept whole, and reported as
// what its CRC-32 says it is.
TEST_F(SalvageTest, ADeflatedEntryThatDisagreesWithItsChecksumIsReportedDamaged)
{
    const Bytes picture = testsupport::bytesOf(drawingText()); // an SVG would read the same
    auto zip = ZipBuilder()
                   .add({.name = "Pictures/p.svg", .data = picture})
                   .add({.name = "meta.xml", .data = testsupport::bytesOf("<meta/>\n")})
                   .build();
    const std::size_t start = zip.dataOffsets[0];
    const Bytes data(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                     zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.localHeaderOffsets[1]));
    const std::size_t bit = bitWith(data, drawingText(), Outcome::ReadsOn);
    zip.bytes[start + bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    salvage(zip.bytes);
    const auto& entries = repairer.Report().entries;
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].name, "Pictures/p.svg");
    EXPECT_EQ(entries[0].state, EntryState::Damaged);
}

INSTANTIATE_TEST_SUITE_P(Cases, FlippedStoredEntry, testing::ValuesIn(StoredFlips),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
