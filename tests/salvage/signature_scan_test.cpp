// The signature scan lists every local-header and data-descriptor signature of the input, in
// file order, wherever it lies relative to the 65536-byte read blocks.
#include "engine/workspace.h"
#include "salvage_fixture.h"

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;

constexpr std::size_t Block = 65536;

struct PlacedSignature
{
    const char* name;
    std::size_t fileSize;
    std::size_t offset;
    bool descriptor; // "PK" 7 8 rather than "PK" 3 4
};

// Offsets on each side of the block edges, and at the very end of the file: a signature that
// starts in the last four bytes of a block, or straddles two blocks, counts like any other.
constexpr PlacedSignature Placements[] = {
    {"FiveByteFile", 5, 0, false},
    {"FourBytesFile", 4, 0, false},
    {"LastStartBeforeBlockEnd", 3 * Block, Block - 5, false},
    {"WhollyInLastFourBytesOfBlock", 3 * Block, Block - 4, false},
    {"StraddlesByOneByte", 3 * Block, Block - 3, false},
    {"StraddlesByTwoBytes", 3 * Block, Block - 2, true},
    {"StraddlesByThreeBytes", 3 * Block, Block - 1, false},
    {"StartsSecondBlock", 3 * Block, Block, true},
    {"StraddlesSecondEdge", 3 * Block, 2 * Block - 2, false},
    {"EndsFileOfWholeBlocks", 2 * Block, 2 * Block - 4, true},
    {"StraddlesIntoShortLastBlock", Block + 2, Block - 2, false},
    {"EndsShortLastBlock", Block + 5, Block + 1, false},
};

class SignatureScanPlacement : public SalvageTest,
                               public testing::WithParamInterface<PlacedSignature>
{};

TEST_P(SignatureScanPlacement, FindsTheSignatureWhereverItLies)
{
    const auto& c = GetParam();
    Bytes bytes(c.fileSize, 0x50); // all "P": every position is a near miss
    salvagetest::put(bytes, c.offset,
                     c.descriptor ? salvagetest::DescriptorSig : salvagetest::LocalSig);
    testsupport::writeFile(input, bytes);
    ASSERT_TRUE(repairer.OpenInputFile(input));
    repairer.ScanSignatures();

    const std::vector<std::int64_t> hit = {static_cast<std::int64_t>(c.offset)};
    EXPECT_EQ(repairer.m_localHeaderOffsets, c.descriptor ? std::vector<std::int64_t>{} : hit);
    EXPECT_EQ(repairer.m_dataDescriptorOffsets, c.descriptor ? hit : std::vector<std::int64_t>{});
}

INSTANTIATE_TEST_SUITE_P(Offsets, SignatureScanPlacement, testing::ValuesIn(Placements),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, FileOfOnlySignaturesIsListedWholeAndInOrder)
{
    // The pattern repeats every 11 bytes and 65536 % 11 == 9, so across eleven block edges the
    // pattern meets an edge in each of its eleven alignments.
    Bytes bytes;
    std::vector<std::int64_t> locals;
    std::vector<std::int64_t> descriptors;
    while (bytes.size() < 12 * Block) {
        locals.push_back(static_cast<std::int64_t>(bytes.size()));
        salvagetest::append(bytes, salvagetest::LocalSig);
        bytes.insert(bytes.end(), {0x50, 0x4B, 0x50});
        descriptors.push_back(static_cast<std::int64_t>(bytes.size()));
        salvagetest::append(bytes, salvagetest::DescriptorSig);
    }
    salvage(bytes); // every "entry" is a header of garbage fields: nothing may crash

    EXPECT_EQ(repairer.m_localHeaderOffsets, locals);
    EXPECT_EQ(repairer.m_dataDescriptorOffsets, descriptors);
    EXPECT_EQ(outsideTree(), std::vector<std::string>{"input.odg"});
}

TEST_F(SalvageTest, SignaturesInsideCompressedDataAreListedUnjudged)
{
    // A false descriptor signature inside a stored entry's data is recorded like a real one.
    Bytes data = salvagetest::textBytes("before");
    salvagetest::append(data, salvagetest::DescriptorSig);
    salvagetest::append(data, salvagetest::textBytes("after"));
    const auto zip =
        testsupport::ZipBuilder().add({.name = "a.bin", .data = data, .method = 0}).build();
    testsupport::writeFile(input, zip.bytes);
    ASSERT_TRUE(repairer.OpenInputFile(input));
    repairer.ScanSignatures();

    EXPECT_EQ(repairer.m_localHeaderOffsets, (std::vector<std::int64_t>{0}));
    EXPECT_EQ(repairer.m_dataDescriptorOffsets,
              (std::vector<std::int64_t>{static_cast<std::int64_t>(zip.dataOffsets[0] + 6)}));
}

TEST(SignatureScan, ExtractFileContentSucceedsForTinyFilesAndWritesNothing)
{
    for (std::size_t size = 0; size <= 4; ++size) {
        SCOPED_TRACE(size);
        testsupport::TempDir dir;
        testsupport::writeFile(dir / "tiny.odg",
                               Bytes(salvagetest::LocalSig, salvagetest::LocalSig + size));
        CFileRepairer repairer;
        ASSERT_TRUE(repairer.OpenInputFile(dir / "tiny.odg"));
        EXPECT_TRUE(repairer.ExtractFileContent());
        // Four bytes hold a whole signature; far too short for a header, it salvages nothing.
        EXPECT_EQ(repairer.m_localHeaderOffsets.size(), size == 4 ? 1u : 0u);
        EXPECT_TRUE(testsupport::listTree(WorkspaceFolder()).empty());
    }
}

TEST(SignatureScan, ExtractFileContentSalvagesIntoTheWorkspaceTree)
{
    testsupport::TempDir dir;
    const auto zip =
        testsupport::ZipBuilder()
            .add({.name = "mimetype", .data = salvagetest::textBytes("application/x"), .method = 0})
            .add({.name = "content.xml", .data = salvagetest::textBytes("<x/>")})
            .build();
    testsupport::writeFile(dir / "doc.odg", zip.bytes);
    CFileRepairer repairer;
    ASSERT_TRUE(repairer.OpenInputFile(dir / "doc.odg"));
    EXPECT_TRUE(repairer.ExtractFileContent());
    EXPECT_EQ(testsupport::listTree(WorkspaceTreePath()),
              (std::vector<std::string>{"content.xml", "mimetype"}));
    EXPECT_EQ(testsupport::readText(WorkspaceTreePath() + "content.xml"), "<x/>");
}

} // namespace
