#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::RecordingLog;
using testsupport::TempDir;

const std::vector<std::string> OpenFailLines = {"Opening file..", "Opening file Fail.."};
const std::vector<std::string> ProcessedLines = {"Opening file..",
                                                 "Opening file Done..",
                                                 "Extracting file content..",
                                                 "Extracting file content Done..",
                                                 "Making new file..",
                                                 "Making new file Done.."};

bool workspaceIsEmpty()
{
    const auto entries = platform::ListDirectory(WorkspaceFolder());
    return entries && entries->empty();
}

std::vector<std::string> repair(const std::string& input, const std::string& dest,
                                RepairOutcome* outcome = nullptr)
{
    RecordingLog log;
    CFileRepairer repairer;
    EXPECT_TRUE(repairer.RepairFile(input, dest, &log));
    if (outcome)
        *outcome = repairer.Outcome();
    return log.lines;
}

class RepairFileFailsToOpen : public testing::Test
{
protected:
    TempDir dir;
    std::string dest = dir / "out/";
    void SetUp() override { ASSERT_TRUE(platform::CreateDirectory(dest)); }
    void expectOpenFailure(const std::string& input)
    {
        RepairOutcome outcome{};
        EXPECT_EQ(repair(input, dest, &outcome), OpenFailLines);
        EXPECT_EQ(outcome, RepairOutcome::OpenFailed);
        EXPECT_TRUE(testsupport::listTree(dest).empty());
        EXPECT_TRUE(workspaceIsEmpty());
    }
};

TEST_F(RepairFileFailsToOpen, MissingInput)
{
    expectOpenFailure(dir / "missing.odg");
}

TEST_F(RepairFileFailsToOpen, DirectoryGivenAsInput)
{
    ASSERT_TRUE(platform::CreateDirectory(dir / "folder.odg"));
    expectOpenFailure(dir / "folder.odg");
}

TEST_F(RepairFileFailsToOpen, InputLockedByAnotherProgram)
{
    testsupport::writeFile(dir / "locked.odg", "PK\x03\x04");
    const int other = open((dir / "locked.odg").c_str(), O_RDWR);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    expectOpenFailure(dir / "locked.odg");
    close(other);
}

TEST_F(RepairFileFailsToOpen, UnreadableInput)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode";
    testsupport::writeFile(dir / "secret.odg", "PK\x03\x04");
    ASSERT_EQ(chmod((dir / "secret.odg").c_str(), 0), 0);
    expectOpenFailure(dir / "secret.odg");
}

TEST(RepairFile, RunsEveryStepOnAReadableInputAndLeavesItUnchanged)
{
    TempDir dir;
    const std::string input = dir / "Plan.odg";
    testsupport::writeFile(input, testsupport::noise(200000, 7));
    ASSERT_TRUE(platform::SetFileTimes(input, {1600000000, 0}, {1600000000, 0}));
    const auto before = testsupport::crc32Of(testsupport::readFile(input));

    RepairOutcome outcome{};
    const auto lines = repair(input, dir.path(), &outcome);
    ASSERT_GE(lines.size(), ProcessedLines.size());
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 6), ProcessedLines);
    EXPECT_NE(outcome, RepairOutcome::OpenFailed);

    EXPECT_EQ(testsupport::crc32Of(testsupport::readFile(input)), before);
    EXPECT_EQ(platform::GetFileTimes(input)->modification, (platform::FileTime{1600000000, 0}));
    EXPECT_TRUE(workspaceIsEmpty());
}

TEST(RepairFile, EmptyInputIsOpenedAndRunsEveryStep)
{
    TempDir dir;
    testsupport::writeFile(dir / "empty.odg", "");
    const auto lines = repair(dir / "empty.odg", dir.path());
    ASSERT_GE(lines.size(), ProcessedLines.size());
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 6), ProcessedLines);
    EXPECT_TRUE(workspaceIsEmpty());
}

TEST(RepairFile, ConstructionAndDestructionEmptyTheWorkspace)
{
    testsupport::writeFile(WorkspaceFolder() + "temp12swe.odg", "stale");
    {
        CFileRepairer repairer;
        EXPECT_TRUE(workspaceIsEmpty());
        CDirectoryManager().CreateAllDirectories(WorkspaceTreePath() + "Pictures");
        testsupport::writeFile(WorkspaceFolder() + "temp12temp.zip", "left over");
    }
    EXPECT_TRUE(workspaceIsEmpty());
}

TEST(RepairFile, KeepsTheInputOpenUntilTheRepairerIsDestroyed)
{
    TempDir dir;
    testsupport::writeFile(dir / "Plan.odg", "PK");
    const int other = open((dir / "Plan.odg").c_str(), O_RDWR);
    {
        CFileRepairer repairer;
        RecordingLog log;
        repairer.RepairFile(dir / "Plan.odg", dir.path(), &log);
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    }
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
}

} // namespace

namespace {

testsupport::Bytes smallDrawing()
{
    return testsupport::ZipBuilder()
        .add({.name = "mimetype",
              .data = testsupport::bytesOf("application/vnd.oasis.opendocument.graphics"),
              .method = 0})
        .add({.name = "content.xml",
              .data = testsupport::bytesOf("<office:document-content "
                                           "xmlns:office=\"urn:oasis:names:tc:opendocument:"
                                           "xmlns:office:1.0\"/>"),
              .dataDescriptor = true})
        .build()
        .bytes;
}

TEST(RepairFile, SavesAsRecNameAndNumbersWhenTheNameIsTaken)
{
    TempDir dir;
    testsupport::writeFile(dir / "Plan.odg", smallDrawing());
    const std::string dest = dir / "out/";
    ASSERT_TRUE(platform::CreateDirectory(dest));

    RepairOutcome outcome{};
    auto lines = repair(dir / "Plan.odg", dest, &outcome);
    EXPECT_EQ(outcome, RepairOutcome::Saved);
    EXPECT_EQ(lines.back(), "Repaired file name : " + dest + "REC_Plan.odg");
    lines = repair(dir / "Plan.odg", dest, &outcome);
    EXPECT_EQ(lines.back(), "Repaired file name : " + dest + "REC_PLAN(1).ODG");
    EXPECT_EQ(testsupport::listTree(dest),
              (std::vector<std::string>{"REC_PLAN(1).ODG", "REC_Plan.odg"}));
    EXPECT_TRUE(workspaceIsEmpty());
}

TEST(RepairFile, AFailedSaveIsLoggedAsSuchAndLeavesNothingBehind)
{
    TempDir dir;
    testsupport::writeFile(dir / "Plan.odg", smallDrawing());
    RepairOutcome outcome{};
    const auto lines = repair(dir / "Plan.odg", dir / "no such folder/", &outcome);
    EXPECT_EQ(outcome, RepairOutcome::SaveFailed);
    EXPECT_EQ(lines.back(), "Saving repaired file Fail..");
    EXPECT_FALSE(platform::PathExists(dir / "no such folder"));
    EXPECT_TRUE(workspaceIsEmpty());
}

} // namespace
