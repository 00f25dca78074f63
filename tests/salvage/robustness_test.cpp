// Hostile and broken inputs: the salvage never crashes, never reads outside its buffers (the
// sanitizer build checks that), never writes outside the workspace tree, and a failed write
// ends only the entry it belongs to.
#include "salvage_fixture.h"
#include "support/file_size_limit.h"
#include "zip/le_bytes.h"

#include <random>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

const std::vector<std::string> OnlyTheInput = {"input.odg"};

Bytes randomBytes()
{
    return testsupport::noise(300000, 99);
}

Bytes thousandsOfEntries()
{
    ZipBuilder builder;
    for (int i = 0; i < 3000; ++i)
        builder.add(
            {.name = "s/" + std::to_string(i), .data = salvagetest::textBytes("s"), .method = 0});
    for (int i = 0; i < 500; ++i)
        builder.add({.name = "d/" + std::to_string(i), .data = salvagetest::textBytes("deflated")});
    return builder.build().bytes;
}

Bytes longNames()
{
    ZipBuilder builder;
    for (std::size_t n = 250; n <= 260; ++n)
        builder.add({.name = std::string(n, static_cast<char>('a' + n - 250)),
                     .data = salvagetest::textBytes("x"),
                     .method = static_cast<std::uint16_t>(n % 2 ? 0 : 8)});
    return builder.build().bytes;
}

Bytes headersCutAtTheEnd()
{
    // One good entry, then its header once more, cut inside the name by the end of the file.
    const Bytes good =
        ZipBuilder()
            .add({.name = "good.txt", .data = salvagetest::textBytes("good"), .method = 0})
            .withoutCentralDirectory()
            .build()
            .bytes;
    Bytes bytes = good;
    salvagetest::append(bytes, std::span(good).first(34));
    return bytes;
}

Bytes entriesClaimingFourGiB()
{
    const Bytes data = testsupport::noise(5000, 4);
    auto zip = ZipBuilder()
                   .add({.name = "claims.bin",
                         .data = data,
                         .method = 0,
                         .localCompressedSize = 0xFFFFFFFF,
                         .localUncompressedSize = 0xFFFFFFFF})
                   .add({.name = "huge.xml", .data = data, .dataDescriptor = true})
                   .build();
    // The descriptor keeps the true compressed size but claims 4 GiB of output.
    const std::size_t descriptor = zip.dataOffsets[1] + testsupport::rawDeflate(data).size();
    zip::writeLe32(zip.bytes, descriptor + 12, 0xFFFFFFFF);
    return zip.bytes;
}

Bytes falseHeadersInsideData()
{
    // A stored entry whose data holds a plausible deflated header pointing outside the tree,
    // then a deflated entry whose compressed bytes are followed by a fake local header.
    const Bytes inner = ZipBuilder()
                            .add({.name = "../../inner.xml", .data = testsupport::noise(300, 8)})
                            .withoutCentralDirectory()
                            .build()
                            .bytes;
    Bytes data = salvagetest::textBytes("outer ");
    salvagetest::append(data, inner);
    return ZipBuilder()
        .add({.name = "outer.bin", .data = data, .method = 0})
        .add({.name = "next.xml", .data = testsupport::noise(2000, 9)})
        .build()
        .bytes;
}

Bytes encryptedEntries()
{
    // Encrypted data does not inflate; the deflated route must still end cleanly.
    auto zip =
        ZipBuilder()
            .add({.name = "enc.xml", .data = testsupport::noise(4000, 10), .method = 0, .flags = 1})
            .add({.name = "enc.png", .data = testsupport::noise(4000, 13), .method = 0, .flags = 1})
            .build();
    zip::writeLe16(zip.bytes, zip.localHeaderOffsets[0] + 8, 8); // claims deflate
    return zip.bytes;
}

struct HostileCase
{
    const char* name;
    Bytes (*make)();
    std::size_t files; // how many files the tree holds afterwards
};

const HostileCase HostileInputs[] = {
    {"RandomBytes", randomBytes, 0},
    {"ThousandsOfEntries", thousandsOfEntries, 3500},
    {"LongNames", longNames, 11},
    {"HeadersCutAtTheEnd", headersCutAtTheEnd, 2},
    {"EntriesClaimingFourGiB", entriesClaimingFourGiB, 2},
    // The stored entry's size and CRC-32 check out, so the header inside its data is no entry.
    {"FalseHeadersInsideData", falseHeadersInsideData, 2},
    {"EncryptedEntries", encryptedEntries, 2},
};

class HostileInput : public SalvageTest, public testing::WithParamInterface<HostileCase>
{};

TEST_P(HostileInput, StaysInsideTheWorkspace)
{
    salvage(GetParam().make());
    EXPECT_EQ(files().size(), GetParam().files);
    EXPECT_EQ(outsideTree(), OnlyTheInput);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HostileInput, testing::ValuesIn(HostileInputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, FourGiBClaimsDoNotInflateTheOutput)
{
    salvage(entriesClaimingFourGiB());
    const Bytes data = testsupport::noise(5000, 4);
    EXPECT_EQ(file("huge.xml"), data);
    EXPECT_EQ(file("claims.bin").size(), data.size());
}

TEST(SalvageRobustness, RandomDamageNeverEscapesOrCrashes)
{
    constexpr std::uint32_t Seed = 20240611;
    constexpr int Rounds = 300;
    const Bytes original = salvagetest::libreOfficeDrawing().zip.bytes;
    std::mt19937 random(Seed);
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE("seed " + std::to_string(Seed) + ", round " + std::to_string(round));
        Bytes bytes = original;
        std::uniform_int_distribution<std::size_t> position(0, bytes.size() - 1);
        for (std::size_t i = 0; i < bytes.size() / 100; ++i)
            bytes[position(random)] = static_cast<std::uint8_t>(random());
        if (round % 10 == 0)
            bytes.resize(position(random)); // now and then a cut as well

        testsupport::TempDir dir;
        const std::string tree = dir / "ws/TempDirChily/";
        testsupport::writeFile(dir / "input.odg", bytes);
        CFileRepairer repairer;
        ASSERT_TRUE(repairer.OpenInputFile(dir / "input.odg"));
        repairer.ScanSignatures();
        repairer.SalvageEntries(tree);
        ASSERT_EQ(salvagetest::namesOutside(dir.path(), tree), OnlyTheInput);
    }
}

TEST_F(SalvageTest, FailedWritesEndOnlyTheirEntry)
{
    constexpr std::size_t Limit = 100000;
    const Bytes bigPicture = testsupport::noise(300000, 21);
    const Bytes bigPart = testsupport::noise(300000, 22);
    const Bytes bytes =
        ZipBuilder()
            .add({.name = "big.png", .data = bigPicture, .method = 0})
            .add({.name = "after1.txt", .data = salvagetest::textBytes("one"), .method = 0})
            .add({.name = "big.xml", .data = bigPart, .dataDescriptor = true})
            .add({.name = "after2.xml", .data = salvagetest::textBytes("two")})
            .build()
            .bytes;
    testsupport::writeFile(input, bytes);
    ASSERT_TRUE(repairer.OpenInputFile(input));
    repairer.ScanSignatures();
    {
        testsupport::FileSizeLimit limit(Limit);
        ASSERT_TRUE(limit.IsSet());
        repairer.SalvageEntries(tree);
    }
    // The stored picture and the deflated part keep what fitted.
    EXPECT_EQ(files(),
              (std::vector<std::string>{"after1.txt", "after2.xml", "big.png", "big.xml"}));
    const Bytes picture = file("big.png");
    EXPECT_EQ(picture.size(), Limit);
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), bigPicture.begin()));
    const Bytes part = file("big.xml");
    EXPECT_GT(part.size(), 0u);
    EXPECT_LE(part.size(), Limit);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), bigPart.begin()));
    EXPECT_EQ(file("after1.txt"), salvagetest::textBytes("one"));
    EXPECT_EQ(file("after2.xml"), salvagetest::textBytes("two"));
}

} // namespace
