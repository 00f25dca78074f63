// Whole drawings, laid out as LibreOffice writes them, intact and damaged the usual ways: every
// entry whose bytes survive lands in the workspace tree byte for byte.
#include "salvage_fixture.h"

#include <map>

namespace {

using salvagetest::Bytes;
using salvagetest::SalvageTest;

enum class Damage
{
    None,
    CentralDirectoryGone,
    CutInPicture,
    CutInContent,
    PictureBlockZeroed,
    StylesHeaderZeroed,
};

struct DrawingCase
{
    const char* name;
    Damage damage;
};

constexpr DrawingCase Drawings[] = {
    {"Intact", Damage::None},
    {"CentralDirectoryGone", Damage::CentralDirectoryGone},
    {"CutInPicture", Damage::CutInPicture},
    {"CutInContent", Damage::CutInContent},
    {"PictureBlockZeroed", Damage::PictureBlockZeroed},
    {"StylesHeaderZeroed", Damage::StylesHeaderZeroed},
};

constexpr std::size_t PictureIndex = 2;
constexpr std::size_t ContentIndex = 3;
constexpr std::size_t StylesIndex = 4;

class DrawingSalvage : public SalvageTest, public testing::WithParamInterface<DrawingCase>
{};

TEST_P(DrawingSalvage, EveryIntactEntryComesBackByteForByte)
{
    const Damage damage = GetParam().damage;
    const auto drawing = salvagetest::libreOfficeDrawing(damage != Damage::CentralDirectoryGone);
    const auto& zip = drawing.zip;
    Bytes bytes = zip.bytes;
    std::map<std::string, Bytes> expected(drawing.entries.begin(), drawing.entries.end());
    auto dropFrom = [&](std::size_t first) {
        for (std::size_t i = first; i < drawing.entries.size(); ++i)
            expected.erase(drawing.entries[i].first);
    };
    const std::string& picture = drawing.entries[PictureIndex].first;
    switch (damage) {
    case Damage::None:
    case Damage::CentralDirectoryGone:
        break;
    case Damage::CutInPicture: {
        const std::size_t keep = 70001; // past the first copy chunk
        bytes.resize(zip.dataOffsets[PictureIndex] + keep);
        expected[picture].resize(keep);
        dropFrom(PictureIndex + 1);
        break;
    }
    case Damage::CutInContent:
        // Without its descriptor the entry's uncompressed size is unknown (0 in its header
        // with flag bit 3), so the reader delivers nothing and the file stays empty.
        bytes.resize(zip.dataOffsets[ContentIndex] + 500);
        dropFrom(ContentIndex + 1);
        expected["content.xml"].clear();
        break;
    case Damage::PictureBlockZeroed: {
        const std::size_t at = 65536;
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(zip.dataOffsets[PictureIndex] + at),
                    4096, 0);
        std::fill_n(expected[picture].begin() + static_cast<std::ptrdiff_t>(at), 4096, 0);
        break;
    }
    case Damage::StylesHeaderZeroed:
        std::fill_n(bytes.begin() +
                        static_cast<std::ptrdiff_t>(zip.localHeaderOffsets[StylesIndex]),
                    64, 0);
        expected.erase("styles.xml");
        break;
    }
    salvage(bytes);

    std::vector<std::string> names;
    for (const auto& [name, data] : expected)
        names.push_back(name);
    EXPECT_EQ(files(), names);
    for (const auto& [name, data] : expected)
        EXPECT_TRUE(file(name) == data) << name << " differs";
}

INSTANTIATE_TEST_SUITE_P(Damage, DrawingSalvage, testing::ValuesIn(Drawings),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
