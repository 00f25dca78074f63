// Entries found through the central directory: a record is read on its own wherever its
// signature lies; an entry whose local header is destroyed comes back from the directory's
// offset (moved as far as the archive has moved) only when its CRC-32 and size check, and an
// entry that came back intact by its local header is left as it is.
#include "salvage/central_directory.h"
#include "salvage_fixture.h"
#include "zip/le_bytes.h"
#include "zip/record_layout.h"

#include <algorithm>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

// Where the central record of entry index starts: the builder writes the records in entry
// order, each its fixed part and name with no extra field or comment.
std::size_t centralRecordOf(const testsupport::BuiltZip& zip, std::size_t index)
{
    std::size_t at = zip.centralDirectoryOffset;
    for (std::size_t i = 0; i < index; ++i)
        at += zip::central::HeaderSize + *zip::readLe16(zip.bytes, at + zip::central::NameLength);
    return at;
}

// Random bytes over an entry's fixed local header and its name, as the damage leaves them.
void overwriteLocalHeader(Bytes& bytes, std::size_t headerOffset, std::size_t nameLength)
{
    salvagetest::put(bytes, headerOffset,
                     testsupport::noise(zip::local::HeaderSize + nameLength, 7));
}

std::size_t indexOf(const salvagetest::Drawing& drawing, const std::string& name)
{
    const auto it = std::find_if(drawing.entries.begin(), drawing.entries.end(),
                                 [&](const auto& entry) { return entry.first == name; });
    return static_cast<std::size_t>(it - drawing.entries.begin());
}

std::vector<EntryState> statesOf(const CFileRepairer& repairer, const std::string& name)
{
    std::vector<EntryState> states;
    for (const EntryReport& entry : repairer.Report().entries)
        if (entry.name == name)
            states.push_back(entry.state);
    return states;
}

TEST(CentralHeader, FieldsAndNameAreRead)
{
    const auto zip = ZipBuilder()
                         .add({.name = "Pictures/a.png",
                               .data = testsupport::noise(100),
                               .method = 0,
                               .dataDescriptor = true})
                         .build();
    const auto record =
        salvage::ParseCentralHeader(std::span(zip.bytes).subspan(zip.centralDirectoryOffset));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name, "Pictures/a.png");
    EXPECT_EQ(record->method, 0u);
    EXPECT_EQ(record->flags, zip::FlagDataDescriptor);
    EXPECT_EQ(record->crc, testsupport::crc32Of(testsupport::noise(100)));
    EXPECT_EQ(record->compressedSize, 100u);
    EXPECT_EQ(record->uncompressedSize, 100u);
    EXPECT_EQ(record->localHeaderOffset, 0u);
    EXPECT_EQ(record->dosTime, 0x6000u);
    EXPECT_EQ(record->dosDate, 0x5A21u);

    const auto header = salvage::LocalHeaderFor(*record, 9);
    EXPECT_EQ(header.flags, 0u); // the directory's CRC-32 and sizes are the true ones
    EXPECT_EQ(header.extraLength, 9u);
    EXPECT_EQ(header.crc, record->crc);
}

struct GarbledRecord
{
    const char* name;
    std::size_t keep;                 // bytes of the record that are there
    std::optional<std::size_t> field; // a 16-bit field written over...
    std::uint16_t value;              // ...with this value
    bool parses;
};

// The record's name is "content.xml": 46 + 11 bytes in all, nothing after it.
constexpr GarbledRecord GarbledRecords[] = {
    {"Whole", 57, std::nullopt, 0, true},
    {"ExtraFieldMayBeCut", 57, zip::central::ExtraLength, 500, true},
    {"NameCutByOneByte", 56, std::nullopt, 0, false},
    {"FixedPartCut", 45, std::nullopt, 0, false},
    {"NameLengthPastTheEnd", 57, zip::central::NameLength, 12, false},
    {"NoName", 57, zip::central::NameLength, 0, false},
    {"ZeroByteInTheName", 57, zip::central::HeaderSize + 4, 0, false},
    {"WrongSignature", 57, 2, 0x0403, false},
};

class CentralHeaderDamage : public testing::TestWithParam<GarbledRecord>
{};

TEST_P(CentralHeaderDamage, OnlyAWholeRecordParses)
{
    const auto& c = GetParam();
    const auto zip =
        ZipBuilder().add({.name = "content.xml", .data = testsupport::noise(10)}).build();
    Bytes record(zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.centralDirectoryOffset),
                 zip.bytes.end());
    record.resize(c.keep); // drops the end record as well
    if (c.field)
        zip::writeLe16(record, *c.field, c.value);
    EXPECT_EQ(salvage::ParseCentralHeader(record).has_value(), c.parses);
}

INSTANTIATE_TEST_SUITE_P(Cases, CentralHeaderDamage, testing::ValuesIn(GarbledRecords),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CentralHeader, NameIsCappedAndMustNameSomething)
{
    const auto parses = [](const std::string& name) {
        const auto zip = ZipBuilder().add({.name = name, .data = {}}).build();
        return salvage::ParseCentralHeader(std::span(zip.bytes).subspan(zip.centralDirectoryOffset))
            .has_value();
    };
    EXPECT_TRUE(parses("d/" + std::string(258, 'a'))); // 260 bytes
    EXPECT_FALSE(parses("d/" + std::string(259, 'a')));
    EXPECT_FALSE(parses("../"));
}

struct LostHeader
{
    const char* name;
    const char* entry;
    std::size_t junk; // bytes before the archive: the directory's offsets are off by this much
};

constexpr LostHeader LostHeaders[] = {
    {"DeflatedPart", "content.xml", 0},
    {"DeflatedPartBehindJunk", "content.xml", 4096},
    {"StoredPictureBehindJunk", "Pictures/10000201000001F4000001F4.png", 4096},
    // No entry before it was found, so the entry after it tells the shift.
    {"FirstEntryBehindJunk", "mimetype", 4096},
    {"LastEntry", "META-INF/manifest.xml", 0},
};

class LostLocalHeader : public SalvageTest, public testing::WithParamInterface<LostHeader>
{};

TEST_P(LostLocalHeader, EntryComesBackFromTheDirectory)
{
    const auto& c = GetParam();
    const auto drawing = salvagetest::libreOfficeDrawing();
    const std::size_t index = indexOf(drawing, c.entry);
    Bytes bytes = testsupport::noise(c.junk, 3);
    salvagetest::append(bytes, drawing.zip.bytes);
    overwriteLocalHeader(bytes, c.junk + drawing.zip.localHeaderOffsets[index],
                         std::string_view(c.entry).size());
    salvage(bytes);

    std::vector<std::string> names;
    for (const auto& [name, data] : drawing.entries) {
        names.push_back(name);
        EXPECT_EQ(file(name), data) << name;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(files(), names);
    EXPECT_EQ(statesOf(repairer, c.entry), std::vector<EntryState>{EntryState::Intact});
    const auto& entries = repairer.Report().entries;
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const EntryReport& e) { return e.name == c.entry; });
    ASSERT_NE(found, entries.end());
    EXPECT_EQ(found->offset,
              static_cast<std::int64_t>(c.junk + drawing.zip.localHeaderOffsets[index]));
}

INSTANTIATE_TEST_SUITE_P(Cases, LostLocalHeader, testing::ValuesIn(LostHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

struct WrongField
{
    const char* name;
    std::size_t field;   // of the central record
    std::uint32_t delta; // added to the 32-bit field
};

constexpr WrongField WrongFields[] = {
    {"Crc", zip::central::Crc, 1},
    {"UncompressedSize", zip::central::UncompressedSize, 1},
    {"CompressedSize", zip::central::CompressedSize, 0xFFFFFFFF}, // one less
    {"LocalHeaderOffset", zip::central::LocalHeaderOffset, 7},
};

class DirectoryRecordThatDoesNotCheck : public SalvageTest,
                                        public testing::WithParamInterface<WrongField>
{};

TEST_P(DirectoryRecordThatDoesNotCheck, PlacesNothing)
{
    const auto& c = GetParam();
    auto drawing = salvagetest::libreOfficeDrawing();
    Bytes& bytes = drawing.zip.bytes;
    const std::size_t index = indexOf(drawing, "content.xml");
    overwriteLocalHeader(bytes, drawing.zip.localHeaderOffsets[index], 11);
    const std::size_t field = centralRecordOf(drawing.zip, index) + c.field;
    zip::writeLe32(bytes, field, *zip::readLe32(bytes, field) + c.delta);
    salvage(bytes);

    const auto got = files();
    EXPECT_EQ(std::count(got.begin(), got.end(), "content.xml"), 0);
    EXPECT_TRUE(statesOf(repairer, "content.xml").empty());
    EXPECT_EQ(file("styles.xml"), drawing.entries[indexOf(drawing, "styles.xml")].second);
}

INSTANTIATE_TEST_SUITE_P(Cases, DirectoryRecordThatDoesNotCheck, testing::ValuesIn(WrongFields),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, GarbledDirectoryRecordsAreIgnored)
{
    auto drawing = salvagetest::libreOfficeDrawing();
    Bytes& bytes = drawing.zip.bytes;
    const std::size_t content = indexOf(drawing, "content.xml");
    overwriteLocalHeader(bytes, drawing.zip.localHeaderOffsets[content], 11);
    // The record before content.xml's names far more bytes than the file holds...
    zip::writeLe16(bytes, centralRecordOf(drawing.zip, content - 1) + zip::central::NameLength,
                   0xFFFF);
    // ...and a record cut by the end of the file names more than is left of it.
    Bytes cut(zip::central::HeaderSize + 4, 0x41);
    zip::writeLe32(cut, 0, zip::CentralHeaderSignature);
    zip::writeLe16(cut, zip::central::NameLength, 200);
    salvagetest::append(bytes, cut);
    salvage(bytes);

    EXPECT_EQ(file("content.xml"), drawing.entries[content].second);
    EXPECT_EQ(statesOf(repairer, "content.xml"), std::vector<EntryState>{EntryState::Intact});
    EXPECT_EQ(outsideTree(), std::vector<std::string>{"input.odg"});
}

TEST_F(SalvageTest, IntactEntryIsNotReplacedFromTheDirectory)
{
    // The directory names b.txt's data as a.txt's: the data checks against that record, but
    // a.txt came back intact by its own header and stays.
    auto zip = ZipBuilder()
                   .add({.name = "a.txt", .data = salvagetest::textBytes("first")})
                   .add({.name = "b.txt", .data = salvagetest::textBytes("second")})
                   .build();
    salvagetest::put(zip.bytes, centralRecordOf(zip, 1) + zip::central::HeaderSize,
                     salvagetest::textBytes("a.txt"));
    salvage(zip.bytes);

    EXPECT_EQ(file("a.txt"), salvagetest::textBytes("first"));
    EXPECT_EQ(file("b.txt"), salvagetest::textBytes("second"));
    EXPECT_EQ(statesOf(repairer, "a.txt"), std::vector<EntryState>{EntryState::Intact});
}

TEST_F(SalvageTest, UncheckedCopyGivesWayToACheckedOne)
{
    // A stored entry with deferred sizes is copied up to the next signature, unchecked; the
    // directory's CRC-32 and size prove the bytes whole.
    const Bytes picture = testsupport::noise(5000, 4);
    salvage(
        ZipBuilder()
            .add({.name = "Pictures/a.png", .data = picture, .method = 0, .dataDescriptor = true})
            .build()
            .bytes);

    EXPECT_EQ(file("Pictures/a.png"), picture);
    // The same entry, read again and now checked: one report, intact.
    EXPECT_EQ(statesOf(repairer, "Pictures/a.png"), std::vector<EntryState>{EntryState::Intact});
}

TEST_F(SalvageTest, DirectoryIsNotReadWhenEntriesAreNotReadInPlace)
{
    auto drawing = salvagetest::libreOfficeDrawing();
    const std::size_t content = indexOf(drawing, "content.xml");
    overwriteLocalHeader(drawing.zip.bytes, drawing.zip.localHeaderOffsets[content], 11);
    repairer.m_inPlaceRecovery = false;
    salvage(drawing.zip.bytes);

    const auto got = files();
    EXPECT_EQ(std::count(got.begin(), got.end(), "content.xml"), 0);
}

} // namespace
