// Stored entries are copied byte for byte up to the next record signature or the end of the
// file; no size field of the header is believed.
#include "platform/file_system.h"
#include "salvage_fixture.h"
#include "zip/le_bytes.h"

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

// A stored entry's local header, name and data, with every size field claiming 4 GiB.
Bytes storedEntry(const std::string& name, const Bytes& data)
{
    Bytes bytes = ZipBuilder()
                      .add({.name = name,
                            .data = data,
                            .method = 0,
                            .localCompressedSize = 0xFFFFFFFF,
                            .localUncompressedSize = 0xFFFFFFFF})
                      .withoutCentralDirectory()
                      .build()
                      .bytes;
    return bytes;
}

struct FollowerCase
{
    const char* name;
    std::uint8_t mark[4]; // the record that follows the entry's data
};

// The data of an entry ends at any record of the container, not only at the next local header
// or data descriptor: a copy that ran on would take the central directory along.
constexpr FollowerCase Followers[] = {
    {"LocalHeader", {0x50, 0x4B, 0x03, 0x04}},
    {"DataDescriptor", {0x50, 0x4B, 0x07, 0x08}},
    {"CentralDirectoryHeader", {0x50, 0x4B, 0x01, 0x02}},
    {"EndRecord", {0x50, 0x4B, 0x05, 0x06}},
    {"Zip64EndRecord", {0x50, 0x4B, 0x06, 0x06}},
    {"Zip64EndLocator", {0x50, 0x4B, 0x06, 0x07}},
};

class StoredEntryEnd : public SalvageTest, public testing::WithParamInterface<FollowerCase>
{};

TEST_P(StoredEntryEnd, DataEndsAtTheNextRecord)
{
    const Bytes data = salvagetest::textBytes("stored picture bytes");
    Bytes bytes = storedEntry("Pictures/p.png", data);
    salvagetest::append(bytes, GetParam().mark);
    salvagetest::append(bytes, testsupport::noise(100));
    salvage(bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"Pictures/p.png"});
    EXPECT_EQ(file("Pictures/p.png"), data);
}

INSTANTIATE_TEST_SUITE_P(Records, StoredEntryEnd, testing::ValuesIn(Followers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, LastStoredEntryBeforeAnIntactDirectoryKeepsOnlyItsData)
{
    const Bytes picture = testsupport::noise(70000, 7);
    const auto zip =
        ZipBuilder()
            .add({.name = "mimetype", .data = salvagetest::textBytes("m"), .method = 0})
            .add({.name = "Pictures/big.png", .data = picture, .method = 0})
            .build();
    salvage(zip.bytes);
    EXPECT_EQ(file("Pictures/big.png"), picture);
    EXPECT_EQ(file("mimetype"), salvagetest::textBytes("m"));
}

struct ChunkEdgeCase
{
    const char* name;
    std::size_t dataLength; // the next local header starts this far after the data offset
};

// The copy reads 65536-byte chunks from the data offset; a signature in the last four bytes of
// a chunk, or across two chunks, must end the copy there and not in the next entry.
constexpr ChunkEdgeCase ChunkEdges[] = {
    {"WhollyBeforeTheLastFourBytes", 65531},
    {"InTheLastFourBytes", 65532},
    {"StraddlingByOne", 65533},
    {"StraddlingByTwo", 65534},
    {"StraddlingByThree", 65535},
    {"AtTheSecondChunk", 65536},
    {"StraddlingTheSecondChunk", 2 * 65536 - 3},
};

class StoredChunkEdge : public SalvageTest, public testing::WithParamInterface<ChunkEdgeCase>
{};

TEST_P(StoredChunkEdge, NextHeaderEndsTheCopyWhereverItLies)
{
    Bytes data(GetParam().dataLength, 0x50); // "P" everywhere: near misses at every position
    Bytes bytes = storedEntry("a.bin", data);
    salvagetest::append(bytes, storedEntry("b.txt", salvagetest::textBytes("next entry")));
    salvage(bytes);
    EXPECT_EQ(files(), (std::vector<std::string>{"a.bin", "b.txt"}));
    EXPECT_EQ(file("a.bin").size(), data.size());
    EXPECT_EQ(file("b.txt"), salvagetest::textBytes("next entry"));
}

INSTANTIATE_TEST_SUITE_P(Offsets, StoredChunkEdge, testing::ValuesIn(ChunkEdges),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, StoredEntryWithoutSignatureRunsToTheEndOfTheFile)
{
    // A descriptor without its signature is not a record: its 12 bytes stay in the data.
    const Bytes data = testsupport::noise(200000, 3);
    Bytes bytes = storedEntry("x/y/z.bin", data);
    const Bytes unsignedDescriptor(12, 0x11);
    salvagetest::append(bytes, unsignedDescriptor);
    salvage(bytes);
    Bytes expected = data;
    salvagetest::append(expected, unsignedDescriptor);
    EXPECT_EQ(file("x/y/z.bin"), expected);
    EXPECT_FALSE(*platform::IsReadOnly(tree + "x/y/z.bin"));
}

struct DataPastEndCase
{
    const char* name;
    std::uint16_t extraLength; // two extra bytes are in the file either way
};

constexpr DataPastEndCase DataPastEnd[] = {
    {"DataStartsAtTheEndOfTheFile", 2},
    {"DataStartsBeyondTheEndOfTheFile", 500},
};

class StoredDataPastEnd : public SalvageTest, public testing::WithParamInterface<DataPastEndCase>
{};

TEST_P(StoredDataPastEnd, GivesAnEmptyFile)
{
    Bytes bytes = ZipBuilder()
                      .add({.name = "e.txt", .method = 0, .localExtra = {0x20, 0x20}})
                      .withoutCentralDirectory()
                      .build()
                      .bytes;
    zip::writeLe16(bytes, 28, GetParam().extraLength);
    salvage(bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"e.txt"});
    EXPECT_TRUE(file("e.txt").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredDataPastEnd, testing::ValuesIn(DataPastEnd),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
