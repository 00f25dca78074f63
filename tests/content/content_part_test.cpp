// The content part rewrite copies bytes and nothing else: whatever salvage left, cut or whole,
// comes out byte for byte in a fresh, writable file.
#include "content/content_part.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

struct RangeCase
{
    const char* label;
    std::size_t sourceSize;
    std::int64_t offset;
    std::int64_t count;
};

constexpr RangeCase RangeCases[] = {
    {"ZeroBytes", 100, 0, 0},
    {"NegativeCount", 100, 10, -5},
    {"OneByte", 100, 99, 1},
    {"ExactlyOneBlock", 65536, 0, 65536},
    {"OneBlockAndOneByte", 65537, 0, 65537},
    {"BlocksFromAnOffsetToTheEnd", 200000, 70001, 129999},
};

void PrintTo(const RangeCase& c, std::ostream* out)
{
    *out << c.label;
}

class CopyByteRangeCases : public testing::TestWithParam<RangeCase>
{};

TEST_P(CopyByteRangeCases, AppendsExactlyTheRangeAfterWhatTheTargetHolds)
{
    const RangeCase& c = GetParam();
    TempDir dir;
    const Bytes source = testsupport::noise(c.sourceSize, 11);
    testsupport::writeFile(dir / "source", source);
    platform::CFile64 in;
    platform::CFile64 out;
    ASSERT_TRUE(in.OpenRead(dir / "source"));
    ASSERT_TRUE(out.Create(dir / "target", platform::CreateMode::NewOnly));
    ASSERT_TRUE(out.Write(testsupport::bytesOf("HEAD")));

    EXPECT_TRUE(CopyByteRange(in, out, c.offset, c.count));
    out.Close();

    Bytes expected = testsupport::bytesOf("HEAD");
    if (c.count > 0)
        expected.insert(expected.end(), source.begin() + c.offset,
                        source.begin() + c.offset + c.count);
    EXPECT_EQ(testsupport::readFile(dir / "target"), expected);
}

INSTANTIATE_TEST_SUITE_P(Ranges, CopyByteRangeCases, testing::ValuesIn(RangeCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CopyByteRange, ReachesOffsetsBeyondFourGibibytes)
{
    TempDir dir;
    const std::string path = dir / "sparse";
    constexpr std::int64_t Far = 0x100000005LL; // wraps to 5 in 32 bits
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const bool written = ::pwrite(fd, "far bytes", 9, Far) == 9 && ::pwrite(fd, "near!", 5, 5) == 5;
    ::close(fd);
    if (!written)
        GTEST_SKIP() << "the file system cannot hold a sparse file beyond 4 GiB";
    platform::CFile64 in;
    platform::CFile64 out;
    ASSERT_TRUE(in.OpenRead(path));
    ASSERT_TRUE(out.Create(dir / "target", platform::CreateMode::NewOnly));
    EXPECT_TRUE(CopyByteRange(in, out, Far, 9));
    out.Close();
    EXPECT_EQ(testsupport::readText(dir / "target"), "far bytes");
}

TEST(CopyByteRange, ReportsASourceThatEndsBeforeTheRange)
{
    TempDir dir;
    testsupport::writeFile(dir / "source", testsupport::noise(1000, 12));
    platform::CFile64 in;
    platform::CFile64 out;
    ASSERT_TRUE(in.OpenRead(dir / "source"));
    ASSERT_TRUE(out.Create(dir / "target", platform::CreateMode::NewOnly));
    EXPECT_FALSE(CopyByteRange(in, out, 500, 600));
    out.Close();
    // Only bytes that were read are written: nothing from beyond the end.
    EXPECT_TRUE(testsupport::readFile(dir / "target").empty());
}

struct PartCase
{
    const char* label;
    const char* text; // the salvaged content part; null for noise of noiseSize bytes
    std::size_t noiseSize;
};

constexpr PartCase PartCases[] = {
    {"Empty", "", 0},
    {"CutInsideATag", "<?xml version=\"1.0\"?><office:document-content><draw:page draw:na", 0},
    {"CutInsideAnAttributeValue", "<office:document-content><draw:page draw:name=\"page", 0},
    {"CutInsideText", "<office:document-content><text:p>The garden pl", 0},
    {"ExactlyOneBlock", nullptr, 65536},
    {"OneBlockAndOneByte", nullptr, 65537},
    {"SeveralBlocks", nullptr, 300001},
};

void PrintTo(const PartCase& c, std::ostream* out)
{
    *out << c.label;
}

class RepairContentPartCases : public testing::TestWithParam<PartCase>
{};

TEST_P(RepairContentPartCases, WritesAFreshWritableCopyByteForByte)
{
    const PartCase& c = GetParam();
    TempDir dir;
    const Bytes part = c.text ? testsupport::bytesOf(c.text) : testsupport::noise(c.noiseSize, 13);
    const std::string source = dir / "content1.xml";
    const std::string target = dir / "content.xml";
    testsupport::writeFile(source, part);
    ASSERT_TRUE(platform::SetReadOnlyAttributes(source)); // as the archive reader extracts it

    RepairContentPart(source, target);

    ASSERT_TRUE(platform::IsRegularFile(target));
    EXPECT_EQ(testsupport::readFile(target), part);
    EXPECT_EQ(platform::IsReadOnly(target), false);
    EXPECT_EQ(testsupport::readFile(source), part);
}

INSTANTIATE_TEST_SUITE_P(Parts, RepairContentPartCases, testing::ValuesIn(PartCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(RepairContentPart, MakesNoTargetWithoutASource)
{
    TempDir dir;
    RepairContentPart(dir / "content1.xml", dir / "content.xml");
    EXPECT_FALSE(platform::PathExists(dir / "content.xml"));
}

} // namespace
