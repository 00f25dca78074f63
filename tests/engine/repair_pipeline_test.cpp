// The pipeline from a damaged input to the saved container: what is logged, what is saved and
// what the container holds, with inputs built in each test.
#include "engine/file_repairer.h"
#include "engine/workspace.h"
#include "platform/file_system.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "support/zip_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

const std::vector<std::string> MakingLines = {
    "Opening file..", "Opening file Done..", "Extracting file content..",
    "Extracting file content Done..", "Making new file.."};

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

// A drawing as LibreOffice lays it out, with its central directory lost.
Bytes drawingWithoutDirectory(const Bytes& picture)
{
    return testsupport::ZipBuilder()
        .add({.name = "mimetype",
              .data = testsupport::bytesOf("application/vnd.oasis.opendocument.graphics"),
              .method = 0})
        .add({.name = "content.xml",
              .data = testsupport::bytesOf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<office:document-content xmlns:office=\"urn:oasis:"
                                           "names:tc:opendocument:xmlns:office:1.0\" "
                                           "office:version=\"1.3\"/>"),
              .dataDescriptor = true})
        .add({.name = "Pictures/a.png", .data = picture, .method = 0})
        .add({.name = "META-INF/manifest.xml",
              .data = testsupport::bytesOf(
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                  "manifest:1.0\" manifest:version=\"1.3\">"
                  "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\""
                  "application/vnd.oasis.opendocument.graphics\"/>"
                  "<manifest:file-entry manifest:full-path=\"content.xml\" "
                  "manifest:media-type=\"text/xml\"/>"
                  "<manifest:file-entry manifest:full-path=\"Pictures/a.png\" "
                  "manifest:media-type=\"image/png\"/>"
                  "</manifest:manifest>"),
              .dataDescriptor = true})
        .withoutCentralDirectory()
        .build()
        .bytes;
}

TEST(RepairPipeline, SavesAContainerWithoutTheWorkingCopyOfTheContentPart)
{
    TempDir dir;
    const Bytes picture = testsupport::noise(50000, 21);
    testsupport::writeFile(dir / "Plan.odg", drawingWithoutDirectory(picture));
    const std::string dest = dir / "out/";
    ASSERT_TRUE(platform::CreateDirectory(dest));

    const Repair result = repair(dir / "Plan.odg", dest);
    std::vector<std::string> expectedLines = MakingLines;
    expectedLines.emplace_back("Making new file Done..");
    expectedLines.push_back("Repaired file name : " + dest + "REC_Plan.odg");
    EXPECT_EQ(result.lines, expectedLines);
    EXPECT_EQ(result.outcome, RepairOutcome::Saved);
    EXPECT_EQ(result.outputPath, dest + "REC_Plan.odg");
    EXPECT_TRUE(workspaceIsEmpty());

    const Bytes bytes = testsupport::readFile(dest + "REC_Plan.odg");
    const auto archive = testsupport::decodeArchive(bytes);
    std::vector<std::string> names;
    for (const auto& entry : archive.central)
        names.push_back(entry.name);
    // An entry the manifest does not list makes LibreOffice refuse the whole package.
    EXPECT_EQ(std::count(names.begin(), names.end(), "content1.xml"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "content.xml"), 1);
    const auto at = std::find(names.begin(), names.end(), "Pictures/a.png");
    ASSERT_NE(at, names.end());
    EXPECT_EQ(testsupport::entryData(archive, bytes, static_cast<std::size_t>(at - names.begin())),
              picture);
}

TEST(RepairPipeline, AWriteFailureWhilePackingSavesNothingAndLeavesNothingBehind)
{
    TempDir dir;
    // Three stored pictures of 300 kB: each fits under the limit below, the container does not.
    testsupport::ZipBuilder builder;
    for (std::uint32_t i = 1; i <= 3; ++i)
        builder.add({.name = "Pictures/p" + std::to_string(i) + ".png",
                     .data = testsupport::noise(300000, 30 + i),
                     .method = 0});
    testsupport::writeFile(dir / "Plan.odg", builder.build().bytes);
    const std::string dest = dir / "out/";
    ASSERT_TRUE(platform::CreateDirectory(dest));

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 500000; // as if the disk filled up while the container was written
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const Repair result = repair(dir / "Plan.odg", dest);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    std::vector<std::string> expectedLines = MakingLines;
    expectedLines.emplace_back("Making new file Fail..");
    EXPECT_EQ(result.lines, expectedLines);
    EXPECT_EQ(result.outcome, RepairOutcome::SaveFailed);
    EXPECT_TRUE(testsupport::listTree(dest).empty());
    EXPECT_TRUE(workspaceIsEmpty());
}

} // namespace
