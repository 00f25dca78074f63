// A damaged input written into the test's own directory, a CFileRepairer scanning it, and its
// entries salvaged into a workspace tree below that directory, so that a test sees everything
// the salvage wrote, and anything it wrote outside the tree.
#pragma once

#include "engine/file_repairer.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvagetest {

using testsupport::Bytes;

inline Bytes textBytes(std::string_view text)
{
    return testsupport::bytesOf(text);
}

// The bytes of the local-header and data-descriptor signatures and the other record marks.
inline constexpr std::uint8_t LocalSig[] = {0x50, 0x4B, 0x03, 0x04};
inline constexpr std::uint8_t DescriptorSig[] = {0x50, 0x4B, 0x07, 0x08};

inline void put(Bytes& bytes, std::size_t at, std::span<const std::uint8_t> what)
{
    std::copy(what.begin(), what.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

inline void append(Bytes& bytes, std::span<const std::uint8_t> what)
{
    bytes.insert(bytes.end(), what.begin(), what.end());
}

// A drawing laid out the way LibreOffice writes one: "mimetype" stored first, XML parts deflated
// with flag bit 3 and signed data descriptors, pictures stored, the manifest last.
struct Drawing
{
    testsupport::BuiltZip zip;
    std::vector<std::pair<std::string, Bytes>> entries; // in file order
};

[[nodiscard]] Drawing libreOfficeDrawing(bool centralDirectory = true);

// Every name below root that is neither inside tree nor the folder holding it (directories end
// in '/'), sorted.
[[nodiscard]] std::vector<std::string> namesOutside(const std::string& root,
                                                    const std::string& tree);

class SalvageTest : public testing::Test
{
protected:
    testsupport::TempDir dir;
    std::string input = dir / "input.odg";
    std::string tree = dir / "ws/TempDirChily/";
    CFileRepairer repairer;

    // Writes bytes as the input, scans it and salvages every entry into tree.
    void salvage(const Bytes& bytes)
    {
        testsupport::writeFile(input, bytes);
        ASSERT_TRUE(repairer.OpenInputFile(input));
        repairer.ScanSignatures();
        repairer.SalvageEntries(tree);
    }

    [[nodiscard]] std::vector<std::string> files() const { return testsupport::listTree(tree); }
    [[nodiscard]] Bytes file(const std::string& name) const
    {
        return testsupport::readFile(tree + name);
    }
    [[nodiscard]] std::vector<std::string> outsideTree() const
    {
        return namesOutside(dir.path(), tree);
    }
};

} // namespace salvagetest
