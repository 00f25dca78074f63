// Local headers found by the scan: which are taken, what their names become, and which recovery
// each entry goes to.
#include "platform/file_system.h"
#include "salvage/local_header.h"
#include "salvage_fixture.h"

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;
using testsupport::ZipEntry;

TEST(LocalHeader, FieldsAreReadLittleEndian)
{
    const Bytes header = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x08, 0x08, 0x08, 0x00,
                          0x34, 0x12, 0x78, 0x56, 0xEF, 0xBE, 0xAD, 0xDE, 0x04, 0x03,
                          0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A, 0x04, 0x01, 0x02, 0x80};
    salvage::LocalHeaderRecord record;
    ASSERT_TRUE(salvage::ParseLocalHeader(header, record));
    EXPECT_EQ(record.signature, 0x04034B50u);
    EXPECT_EQ(record.versionNeeded, 0x14u);
    EXPECT_EQ(record.flags, 0x0808u);
    EXPECT_EQ(record.method, 8u);
    EXPECT_EQ(record.dosTime, 0x1234u);
    EXPECT_EQ(record.dosDate, 0x5678u);
    EXPECT_EQ(record.crc, 0xDEADBEEFu);
    EXPECT_EQ(record.compressedSize, 0x01020304u);
    EXPECT_EQ(record.uncompressedSize, 0x0A0B0C0Du);
    EXPECT_EQ(record.nameLength, 260u);
    EXPECT_EQ(record.extraLength, 0x8002u);

    std::int64_t offset = 1000;
    const Bytes withName = [&] {
        Bytes b = header;
        b.insert(b.end(), {'a', 'b'}); // the name is cut where the bytes end
        return b;
    }();
    EXPECT_EQ(salvage::ReadEntryName(withName, record, offset), "ab");
    EXPECT_EQ(offset, 1000 + 30 + 260 + 0x8002);
    EXPECT_FALSE(salvage::ParseLocalHeader(std::span(header).first(29), record));
}

struct NameLengthCase
{
    const char* name;
    std::size_t nameBytes; // real name bytes written
    std::uint16_t field;   // the header's name length
    bool taken;
};

constexpr NameLengthCase NameLengths[] = {
    {"Length260IsTaken", 260, 260, true},
    {"Length261IsSkipped", 261, 261, false},
    {"Length32768IsSkipped", 8, 32768, false},
    {"Length65535IsSkipped", 8, 65535, false},
};

class NameLength : public SalvageTest, public testing::WithParamInterface<NameLengthCase>
{};

// A name of n bytes made of components short enough for any file system.
std::string longName(std::size_t n)
{
    std::string name;
    while (name.size() + 101 < n)
        name += std::string(100, static_cast<char>('a' + name.size() / 101)) + "/";
    return name + std::string(n - name.size(), 'z');
}

TEST_P(NameLength, OnlyNamesUpTo260BytesAreTaken)
{
    const auto& c = GetParam();
    const std::string name = longName(c.nameBytes);
    salvage(ZipBuilder()
                .add({.name = name,
                      .data = salvagetest::textBytes("payload"),
                      .method = 0,
                      .localNameLength = c.field})
                .withoutCentralDirectory()
                .build()
                .bytes);
    if (c.taken) {
        EXPECT_EQ(files(), std::vector<std::string>{name});
        EXPECT_EQ(file(name), salvagetest::textBytes("payload"));
    } else {
        EXPECT_TRUE(files().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NameLength, testing::ValuesIn(NameLengths),
                         [](const auto& info) { return std::string(info.param.name); });

struct ShortTailCase
{
    const char* name;
    const char* entryName; // the header and its name are all the file holds after "junk"
    bool taken;
};

constexpr ShortTailCase ShortTails[] = {
    {"ThirtyTwoBytesLeftIsRead", "ab", true},
    {"ThirtyOneBytesLeftIsSkipped", "a", false},
};

class ShortTail : public SalvageTest, public testing::WithParamInterface<ShortTailCase>
{};

TEST_P(ShortTail, AHeaderNeedsThirtyTwoBytesBeforeTheEnd)
{
    const auto& c = GetParam();
    salvage(ZipBuilder()
                .prefix(salvagetest::textBytes("junk"))
                .add({.name = c.entryName, .method = 0})
                .withoutCentralDirectory()
                .build()
                .bytes);
    EXPECT_EQ(files(),
              c.taken ? std::vector<std::string>{c.entryName} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, ShortTail, testing::ValuesIn(ShortTails),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, NameEndsAtAZeroByte)
{
    salvage(ZipBuilder()
                .add({.name = std::string("abc\0def", 7),
                      .data = salvagetest::textBytes("x"),
                      .method = 0})
                .build()
                .bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"abc"});
    EXPECT_EQ(file("abc"), salvagetest::textBytes("x"));
}

TEST_F(SalvageTest, NameCutByTheEndOfTheFileKeepsOnlyTheBytesRead)
{
    // The header announces a 10-byte name; the file ends after four of them.
    Bytes bytes = ZipBuilder()
                      .add({.name = "abcdefghij", .method = 0})
                      .withoutCentralDirectory()
                      .build()
                      .bytes;
    bytes.resize(30 + 4);
    salvage(bytes);
    EXPECT_EQ(files(), std::vector<std::string>{"abcd"});
    EXPECT_TRUE(file("abcd").empty());
}

struct MethodCase
{
    const char* name;
    std::uint16_t method;
    std::uint16_t flags;
    bool extracted; // deflated recovery: the reader's extract is read-only
};

constexpr MethodCase Methods[] = {
    {"StoredIsCopied", 0, 0, false},
    {"DeflatedIsExtracted", 8, 0, true},
    {"UnknownMethod12IsCopiedAsItLies", 12, 0, false},
    {"UnknownMethod14IsCopiedAsItLies", 14, 0, false},
    {"EncryptedStoredIsCopiedAsItLies", 0, 0x0001, false},
};

class Dispatch : public SalvageTest, public testing::WithParamInterface<MethodCase>
{};

TEST_P(Dispatch, RoutesByCompressionMethod)
{
    const auto& c = GetParam();
    const Bytes data = testsupport::noise(3000);
    salvage(ZipBuilder()
                .add({.name = "dir/entry.bin", .data = data, .method = c.method, .flags = c.flags})
                .add({.name = "next.txt", .data = salvagetest::textBytes("n"), .method = 0})
                .build()
                .bytes);
    EXPECT_EQ(files(), (std::vector<std::string>{"dir/entry.bin", "next.txt"}));
    EXPECT_EQ(file("dir/entry.bin"), data);
    EXPECT_EQ(platform::IsReadOnly(tree + "dir/entry.bin"), c.extracted);
}

INSTANTIATE_TEST_SUITE_P(Cases, Dispatch, testing::ValuesIn(Methods),
                         [](const auto& info) { return std::string(info.param.name); });

struct TwiceCase
{
    const char* name;
    std::uint16_t method;
    bool inPlace;
    bool laterCopyWins;
};

constexpr TwiceCase Twice[] = {
    {"StoredCopyIsReplacedByTheLaterOne", 0, true, true},
    {"CheckedDeflatedCopyIsReplacedByTheLaterOne", 8, true, true},
    {"ArchiveExtractIsReadOnlyAndStays", 8, false, false},
};

class SameNameTwice : public SalvageTest, public testing::WithParamInterface<TwiceCase>
{};

TEST_P(SameNameTwice, IsSalvagedInFileOrder)
{
    const auto& c = GetParam();
    repairer.m_inPlaceRecovery = c.inPlace;
    salvage(
        ZipBuilder()
            .add({.name = "a.txt", .data = salvagetest::textBytes("first"), .method = c.method})
            .add({.name = "a.txt", .data = salvagetest::textBytes("second"), .method = c.method})
            .build()
            .bytes);
    EXPECT_EQ(file("a.txt"), salvagetest::textBytes(c.laterCopyWins ? "second" : "first"));
}

INSTANTIATE_TEST_SUITE_P(Cases, SameNameTwice, testing::ValuesIn(Twice),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, DirectoryEntryMakesItsDirectoryOnly)
{
    salvage(ZipBuilder()
                .add({.name = "Pictures/", .method = 0})
                .add({.name = "Configurations2/toolbar/", .method = 8})
                .build()
                .bytes);
    EXPECT_TRUE(platform::IsDirectory(tree + "Pictures"));
    EXPECT_TRUE(platform::IsDirectory(tree + "Configurations2/toolbar"));
    EXPECT_TRUE(files().empty());
}

} // namespace
