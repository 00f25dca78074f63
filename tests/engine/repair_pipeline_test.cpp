// The pipeline from a damaged input to the saved container: what is logged, what is saved and
// what the container holds, with inputs built in each test.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

const std::vector<std::string> NothingFoundLines = {"Opening file..",
                                                    "Opening file Done..",
                                                    "Extracting file content..",
                                                    "Extracting file content Done..",
                                                    "Making new file..",
                                                    "Making new file Done..",
                                                    "No recoverable content found.."};

bool workspaceIsEmpty()
{
    const auto entries = platform::ListDirectory(WorkspaceFolder());
    return entries && entries->empty();
}

struct Repair
{
    std::vector<std::string> lines;
    RepairOutcome outcome = RepairOutcome::NotRun;
    std::string outputPath;
};

Repair repair(const std::string& input, const std::string& dest)
{
    testsupport::RecordingLog log;
    CFileRepairer repairer;
    EXPECT_TRUE(repairer.RepairFile(input, dest, &log));
    return {log.lines, repairer.Outcome(), repairer.OutputPath()};
}

struct NothingCase
{
    const char* label;
    Bytes (*make)();
};

constexpr NothingCase NothingCases[] = {
    {"EmptyFile", [] { return Bytes{}; }},
    {"NotAZipContainer", [] { return testsupport::noise(100000, 3); }},
    {"SignatureWithoutAHeader",
     [] {
         Bytes bytes = {0x50, 0x4B, 0x03, 0x04};
         bytes.resize(20, 0xFF); // cut off inside the header
         return bytes;
     }},
    {"OnlyFolderEntries",
     [] {
         return testsupport::ZipBuilder()
             .add({.name = "Configurations2/", .method = 0})
             .add({.name = "Pictures/", .method = 0})
             .build()
             .bytes;
     }},
};

void PrintTo(const NothingCase& c, std::ostream* out)
{
    *out << c.label;
}

class NothingSalvaged : public testing::TestWithParam<NothingCase>
{};

TEST_P(NothingSalvaged, SavesNothingAndSaysSo)
{
    TempDir dir;
    const std::string input = dir / "Plan.odg";
    testsupport::writeFile(input, GetParam().make());
    const std::string dest = dir / "out/";
    ASSERT_TRUE(platform::CreateDirectory(dest));

    const Repair result = repair(input, dest);
    EXPECT_EQ(result.lines, NothingFoundLines);
    EXPECT_EQ(result.outcome, RepairOutcome::NothingMade);
    EXPECT_TRUE(testsupport::listTree(dest).empty());
    EXPECT_TRUE(workspaceIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, NothingSalvaged, testing::ValuesIn(NothingCases),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
