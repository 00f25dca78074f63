// Entries read where they lie: a deflated entry ends where its stream ends and keeps what
// inflates before damage; checked copies claim their bytes, so headers inside them are no
// entries; of two copies of a name the better one stays.
#include "salvage_fixture.h"
#include "zip/le_bytes.h"

#include <algorithm>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;
using testsupport::ZipBuilder;

Bytes lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "<text:p>line " + std::to_string(i) + " of the garden plan</text:p>\n";
    return testsupport::bytesOf(text);
}

const EntryReport* reportOf(const CFileRepairer& repairer, const std::string& name)
{
    const auto& entries = repairer.Report().entries;
    const auto it = std::find_if(entries.rbegin(), entries.rend(),
                                 [&](const EntryReport& e) { return e.name == name; });
    return it == entries.rend() ? nullptr : &*it;
}

TEST_F(SalvageTest, DeflatedEntryCutShortKeepsWhatInflates)
{
    const Bytes text = lines(3000);
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = text, .dataDescriptor = true})
                   .withoutCentralDirectory()
                   .build();
    zip.bytes.resize(zip.dataOffsets[0] + 3000); // cut inside the compressed data
    salvage(zip.bytes);

    const Bytes got = file("content.xml");
    EXPECT_GT(got.size(), 3000u);
    EXPECT_LT(got.size(), text.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), text.begin()));
    ASSERT_TRUE(reportOf(repairer, "content.xml"));
    EXPECT_EQ(reportOf(repairer, "content.xml")->state, EntryState::Partial);
}

struct CheckCase
{
    const char* name;
    bool dataDescriptor;
    bool signedDescriptor;
    std::optional<std::uint32_t> wrongCompressedSize;
};

const CheckCase Checks[] = {
    {"SizesInTheHeader", false, false, std::nullopt},
    {"SignedDescriptor", true, true, std::nullopt},
    {"DescriptorWithoutSignature", true, false, std::nullopt},
    {"WrongCompressedSizeInTheHeader", false, false, 5u},
};

class CheckedEntry : public SalvageTest, public testing::WithParamInterface<CheckCase>
{};

TEST_P(CheckedEntry, ComesBackIntact)
{
    const auto& c = GetParam();
    const Bytes text = lines(500);
    auto zip = ZipBuilder()
                   .add({.name = "styles.xml",
                         .data = text,
                         .dataDescriptor = c.dataDescriptor,
                         .localCompressedSize = c.wrongCompressedSize})
                   .add({.name = "meta.xml", .data = lines(3)})
                   .build();
    if (c.dataDescriptor && !c.signedDescriptor) { // drop the descriptor's signature
        const std::size_t at = zip.localHeaderOffsets[1] - 16;
        zip.bytes.erase(zip.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        zip.bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
    }
    salvage(zip.bytes);
    EXPECT_EQ(file("styles.xml"), text);
    ASSERT_TRUE(reportOf(repairer, "styles.xml"));
    EXPECT_EQ(reportOf(repairer, "styles.xml")->state, EntryState::Intact);
    EXPECT_EQ(file("meta.xml"), lines(3));
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckedEntry, testing::ValuesIn(Checks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SalvageTest, HeaderInsideCheckedDeflateDataIsNoEntry)
{
    // Level 0 keeps the data verbatim in stored deflate blocks, false header and all.
    const Bytes inner = ZipBuilder()
                            .add({.name = "inner.txt", .data = lines(2), .method = 0})
                            .withoutCentralDirectory()
                            .build()
                            .bytes;
    Bytes text = lines(10);
    salvagetest::append(text, inner);
    salvage(
        ZipBuilder()
            .add({.name = "content.xml", .data = text, .deflateLevel = 0, .dataDescriptor = true})
            .add({.name = "settings.xml", .data = lines(4)})
            .build()
            .bytes);
    EXPECT_EQ(files(), (std::vector<std::string>{"content.xml", "settings.xml"}));
    EXPECT_EQ(file("content.xml"), text);
}

TEST_F(SalvageTest, DamagedLaterCopyNeverReplacesAnIntactOne)
{
    const Bytes text = lines(800);
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = text})
                   .add({.name = "content.xml", .data = text})
                   .withoutCentralDirectory()
                   .build();
    const std::size_t second = zip.dataOffsets[1];
    std::fill_n(zip.bytes.begin() + static_cast<std::ptrdiff_t>(second + 200), 40, 0xFF);
    salvage(zip.bytes);
    EXPECT_EQ(file("content.xml"), text);
}

TEST_F(SalvageTest, IntactLaterCopyReplacesADamagedOne)
{
    const Bytes text = lines(800);
    auto zip = ZipBuilder()
                   .add({.name = "content.xml", .data = text})
                   .add({.name = "content.xml", .data = text})
                   .withoutCentralDirectory()
                   .build();
    std::fill_n(zip.bytes.begin() + static_cast<std::ptrdiff_t>(zip.dataOffsets[0] + 200), 40,
                0xFF);
    salvage(zip.bytes);
    EXPECT_EQ(file("content.xml"), text);
}

} // namespace
