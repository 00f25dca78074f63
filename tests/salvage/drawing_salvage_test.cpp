// Whole drawings, laid out as LibreOffice writes them, intact and damaged the usual ways: every
// entry whose bytes survive lands in the workspace tree byte for byte.
#include "salvage_fixture.h"

#include <map>
#include <set>

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
    std::set<std::string> partial; // only a start of these can come back
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
        // Its descriptor is gone, but the part inflates as far as its data goes: the file
        // holds the start of the content part.
        bytes.resize(zip.dataOffsets[ContentIndex] + 500);
        dropFrom(ContentIndex + 1);
        partial.insert("content.xml");
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
    for (const auto& [name, data] : expected) {
        const Bytes got = file(name);
        if (partial.count(name))
            EXPECT_TRUE(!got.empty() && got.size() < data.size() &&
                        std::equal(got.begin(), got.end(), data.begin()))
                << name << " is not a start of the original";
        else
            EXPECT_TRUE(got == data) << name << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, DrawingSalvage, testing::ValuesIn(Drawings),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
