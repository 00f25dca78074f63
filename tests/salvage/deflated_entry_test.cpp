// Deflated entries are rebuilt as the one-entry archive "temp12temp.zip" and extracted from it;
// the rebuilt archive is checked field by field, and the extracted files byte by byte.
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "salvage_fixture.h"
#include "zip/dos_time.h"
#include "zip/le_bytes.h"

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

Bytes tempArchive()
{
    return testsupport::readFile(WorkspaceFolder() + std::string(TempArchiveName));
}

std::uint32_t le32(const Bytes& bytes, std::size_t at)
{
    return zip::readLe32(bytes, at).value();
}

std::uint16_t le16(const Bytes& bytes, std::size_t at)
{
    return zip::readLe16(bytes, at).value();
}

const Bytes Content = testsupport::bytesOf(
    "<?xml version=\"1.0\"?><office:document-content><draw:page draw:name=\"page1\"/>"
    "<draw:page draw:name=\"page2\"/></office:document-content>");

TEST_F(SalvageTest, EntryFollowedByItsDescriptorIsRebuiltWithTheDescriptorsFields)
{
    repairer.m_inPlaceRecovery = false; // the one-entry archive is what this test reads
    const auto zip =
        ZipBuilder().add({.name = "content.xml", .data = Content, .dataDescriptor = true}).build();
    salvage(zip.bytes);
    EXPECT_EQ(file("content.xml"), Content);

    const Bytes deflated = testsupport::rawDeflate(Content);
    const auto compressed = static_cast<std::uint32_t>(deflated.size());
    const std::size_t copied = 30 + 11 + deflated.size(); // header, name, data; no descriptor
    const Bytes rebuilt = tempArchive();
    ASSERT_EQ(rebuilt.size(), copied + 46 + 11 + 22);
    // The local header as copied, its CRC-32 and sizes patched from the descriptor.
    EXPECT_TRUE(std::equal(zip.bytes.begin(), zip.bytes.begin() + 14, rebuilt.begin()));
    EXPECT_EQ(le32(rebuilt, 14), testsupport::crc32Of(Content));
    EXPECT_EQ(le32(rebuilt, 18), compressed);
    EXPECT_EQ(le32(rebuilt, 22), Content.size());
    EXPECT_TRUE(std::equal(deflated.begin(), deflated.end(), rebuilt.begin() + 41));
    // The central-directory header.
    const std::size_t c = copied;
    EXPECT_EQ(le32(rebuilt, c), 0x02014B50u);
    EXPECT_EQ(le16(rebuilt, c + 4), 20u); // made by: the version needed
    EXPECT_EQ(le16(rebuilt, c + 6), 20u);
    EXPECT_EQ(le16(rebuilt, c + 8), 0x0008u);
    EXPECT_EQ(le16(rebuilt, c + 10), 8u);
    EXPECT_EQ(le16(rebuilt, c + 12), 0x6000u);
    EXPECT_EQ(le16(rebuilt, c + 14), 0x5A21u);
    EXPECT_EQ(le32(rebuilt, c + 16), testsupport::crc32Of(Content));
    EXPECT_EQ(le32(rebuilt, c + 20), compressed);
    EXPECT_EQ(le32(rebuilt, c + 24), Content.size());
    EXPECT_EQ(le16(rebuilt, c + 28), 11u);
    for (std::size_t at = c + 30; at < c + 46; ++at)
        EXPECT_EQ(rebuilt[at], 0) << "byte " << at - c << " of the directory header";
    EXPECT_EQ(std::string(rebuilt.begin() + static_cast<std::ptrdiff_t>(c + 46),
                          rebuilt.begin() + static_cast<std::ptrdiff_t>(c + 57)),
              "content.xml");
    // The end record.
    const std::size_t e = c + 57;
    EXPECT_EQ(le32(rebuilt, e), 0x06054B50u);
    EXPECT_EQ(le16(rebuilt, e + 4), 0u);
    EXPECT_EQ(le16(rebuilt, e + 6), 0u);
    EXPECT_EQ(le16(rebuilt, e + 8), 1u);
    EXPECT_EQ(le16(rebuilt, e + 10), 1u);
    EXPECT_EQ(le32(rebuilt, e + 12), 46u + 11u);
    EXPECT_EQ(le32(rebuilt, e + 16), copied);
    EXPECT_EQ(le16(rebuilt, e + 20), 0u);
}

TEST_F(SalvageTest, ExtractIsReadOnlyAndDatedFromTheHeader)
{
    salvage(ZipBuilder()
                .add({.name = "styles.xml", .data = Content, .dosTime = 0x6000, .dosDate = 0x5A21})
                .add({.name = "x", .method = 0})
                .build()
                .bytes);
    EXPECT_EQ(file("styles.xml"), Content);
    EXPECT_EQ(platform::IsReadOnly(tree + "styles.xml"), true);
    const auto times = platform::GetFileTimes(tree + "styles.xml");
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->modification.seconds, *zip::dosToUnixSeconds({0x5A21, 0x6000}));
}

struct EndingCase
{
    const char* name;
    bool centralDirectory;
    bool dataDescriptor;
};

// The last entry of a container, its data followed by the central directory, by nothing (the
// directory is lost), or by its descriptor. A copy that ran through an intact central
// directory would measure the data too long, and the reader would refuse the entry.
constexpr EndingCase Endings[] = {
    {"BeforeAnIntactDirectory", true, false},
    {"BeforeAnIntactDirectoryWithDescriptor", true, true},
    {"AtTheEndOfAFileWithoutDirectory", false, false},
    {"DescriptorAtTheEndOfAFileWithoutDirectory", false, true},
};

class LastDeflatedEntry : public SalvageTest, public testing::WithParamInterface<EndingCase>
{};

TEST_P(LastDeflatedEntry, IsExtractedWhole)
{
    const auto& c = GetParam();
    const Bytes manifest = testsupport::noise(150000, 5); // longer than two copy chunks
    ZipBuilder builder;
    builder.add({.name = "mimetype", .data = salvagetest::textBytes("m"), .method = 0})
        .add({.name = "META-INF/manifest.xml",
              .data = manifest,
              .dataDescriptor = c.dataDescriptor});
    if (!c.centralDirectory)
        builder.withoutCentralDirectory();
    salvage(builder.build().bytes);
    EXPECT_EQ(files(), (std::vector<std::string>{"META-INF/manifest.xml", "mimetype"}));
    EXPECT_EQ(file("META-INF/manifest.xml"), manifest);
}

INSTANTIATE_TEST_SUITE_P(Cases, LastDeflatedEntry, testing::ValuesIn(Endings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, SignatureRightAfterTheHeaderLeavesNothingToExtract)
{
    Bytes bytes = ZipBuilder()
                      .add({.name = "d/empty.xml", .data = Content, .localExtra = {1, 2, 3, 4}})
                      .withoutCentralDirectory()
                      .build()
                      .bytes;
    bytes.resize(30 + 11 + 4); // header, name and extra field only
    salvagetest::append(
        bytes, ZipBuilder()
                   .add({.name = "next.txt", .data = salvagetest::textBytes("n"), .method = 0})
                   .withoutCentralDirectory()
                   .build()
                   .bytes);
    salvage(bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"next.txt"});
    EXPECT_TRUE(platform::IsDirectory(tree + "d"));
    EXPECT_EQ(tempArchive().size(), 30u + 11u + 4u); // no directory was added
}

TEST_F(SalvageTest, HeaderSizeThatDisagreesLeavesOnlyTheDirectories)
{
    repairer.m_inPlaceRecovery = false; // read in place, the entry comes back (tested elsewhere)
    salvage(ZipBuilder()
                .add({.name = "Pictures/a.svg", .data = Content, .localCompressedSize = 5})
                .add({.name = "b.txt", .data = salvagetest::textBytes("b"), .method = 0})
                .build()
                .bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"b.txt"});
    EXPECT_TRUE(platform::IsDirectory(tree + "Pictures"));
}

TEST_F(SalvageTest, DamagedDeflateDataKeepsTheBytesBeforeTheDamage)
{
    Bytes text;
    for (int i = 0; i < 4000; ++i) {
        const std::string line = "<text:p>line " + std::to_string(i) + "</text:p>\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    auto zip =
        ZipBuilder().add({.name = "content.xml", .data = text, .dataDescriptor = true}).build();
    const std::size_t data = zip.dataOffsets[0];
    const std::size_t length = testsupport::rawDeflate(text).size();
    std::fill_n(zip.bytes.begin() + static_cast<std::ptrdiff_t>(data + length / 2), 64, 0xFF);
    salvage(zip.bytes);

    const Bytes got = file("content.xml");
    EXPECT_GT(got.size(), 1000u);
    EXPECT_LT(got.size(), text.size());
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 1000, text.begin()));
}

} // namespace
