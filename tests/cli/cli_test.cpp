// Runs the tarvel-draw program as a user would and checks its output, exit status and files.
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::TempDir;

struct ToolRun
{
    int status = -1; // exit status, or -signal when killed
    std::string out;
    std::string err;
};

// Starts tarvel-draw with args and TMPDIR set to tmp; when interruptAfterMs is set, sends SIGINT
// that long after the start.
ToolRun runTool(const std::vector<std::string>& args, const TempDir& io, const std::string& tmp,
                int interruptAfterMs = -1)
{
    const std::string outPath = io / ".stdout";
    const std::string errPath = io / ".stderr";
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        setenv("TMPDIR", tmp.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(TARVEL_DRAW_EXE)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TARVEL_DRAW_EXE, argv.data());
        _exit(127);
    }
    if (interruptAfterMs >= 0) {
        usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
        kill(child, SIGINT);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ToolRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    // A signal sent at once may end the child before it even opened its output files.
    run.out = platform::PathExists(outPath) ? testsupport::readText(outPath) : "";
    run.err = platform::PathExists(errPath) ? testsupport::readText(errPath) : "";
    platform::DeleteFile(outPath);
    platform::DeleteFile(errPath);
    return run;
}

class Cli : public testing::Test
{
protected:
    TempDir dir;
    TempDir tmp; // the program's temp folder: must be empty again after every run
    ToolRun run(const std::vector<std::string>& args, int interruptAfterMs = -1)
    {
        ToolRun result = runTool(args, dir, tmp.path(), interruptAfterMs);
        EXPECT_TRUE(testsupport::listTree(tmp.path()).empty());
        EXPECT_TRUE(platform::ListDirectory(tmp.path())->empty()) << "workspace left behind";
        return result;
    }
};

TEST_F(Cli, VersionAndHelp)
{
    const ToolRun version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarvel-draw 8.12.01\n");
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tarvel-draw [-o DIR] [--report FILE] [-v] FILE..."),
              std::string::npos);
}

TEST_F(Cli, UsageErrorsExitWithTwo)
{
    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {"--bogus", "a.odg"}, {"-o"}}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
}

TEST_F(Cli, PrintsTheLogOneLinePerLineAndASummary)
{
    const std::string missing = dir / "gone.odg";
    const ToolRun r = run({"-o", dir / "out", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Repairing process started\n" + std::string(66, '=') +
                         "\nProcessing File 1 of 1 \nFile Name : " + missing +
                         "\n0 of 1 file(s) "
                         "repaired into " +
                         dir / "out/" + "\n");
    EXPECT_EQ(r.err, "tarvel-draw: " + missing + ": no such file\n");
    EXPECT_TRUE(platform::IsDirectory(dir / "out")); // made when missing
}

TEST_F(Cli, BadInputsAreReportedAndTheBatchGoesOn)
{
    testsupport::writeFile(dir / "empty.odg", "");
    ASSERT_TRUE(platform::CreateDirectory(dir / "folder.odg"));
    const ToolRun r =
        run({"-o", dir / "out", dir / "folder.odg", dir / "gone.odg", dir / "empty.odg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Processing File 3 of 3 "), std::string::npos);
    EXPECT_NE(r.err.find(dir / "folder.odg" + ": cannot open: Is a directory"), std::string::npos);
    EXPECT_NE(r.err.find(dir / "gone.odg" + ": no such file"), std::string::npos);
    EXPECT_NE(r.err.find(dir / "empty.odg" + ": "), std::string::npos);
}

TEST_F(Cli, ADestinationThatCannotBeMadeIsReported)
{
    testsupport::writeFile(dir / "plain-file", "x");
    testsupport::writeFile(dir / "a.odg", "x");
    const ToolRun r = run({"-o", dir / "plain-file/out", dir / "a.odg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot create " + dir / "plain-file/out"), std::string::npos);
    EXPECT_NE(r.out.find("Processing File 1 of 1 "), std::string::npos);
}

TEST_F(Cli, InterruptLeavesNoWorkspaceWhateverItsTiming)
{
    std::vector<std::string> args{"-o", dir / "out"};
    for (int i = 0; i < 200; ++i) {
        const std::string name = dir / ("in" + std::to_string(i) + ".odg");
        testsupport::writeFile(name, "PK\x03\x04 not really");
        args.push_back(name);
    }
    for (int delay : {0, 5, 30}) {
        const ToolRun r = run(args, delay); // the fixture checks the temp folder after each
        EXPECT_TRUE(r.status == 1 || r.status == -SIGINT) << r.status;
    }
}

} // namespace

namespace {

// A small drawing whose manifest was lost and whose content part is cut short.
testsupport::Bytes damagedDrawing()
{
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>";
    for (int i = 0; i < 400; ++i)
        text += "<text:p>shape " + std::to_string(i) + "</text:p>";
    text += "</office:body></office:document-content>";
    auto zip =
        testsupport::ZipBuilder()
            .add({.name = "mimetype",
                  .data = testsupport::bytesOf("application/vnd.oasis.opendocument.graphics"),
                  .method = 0})
            .add({.name = "styles.xml",
                  .data = testsupport::bytesOf(
                      "<office:document-styles xmlns:office=\"urn:oasis:names:tc:"
                      "opendocument:xmlns:office:1.0\"/>")})
            .add(
                {.name = "content.xml", .data = testsupport::bytesOf(text), .dataDescriptor = true})
            .withoutCentralDirectory()
            .build();
    zip.bytes.resize(zip.dataOffsets[2] + 600);
    return zip.bytes;
}

TEST_F(Cli, ReportSaysWhatCameBackAndVerboseSummarises)
{
    testsupport::writeFile(dir / "Plan.odg", damagedDrawing());
    const ToolRun r = run({"-v", "--report", dir / "report.json", "-o", dir / "out",
                           dir / "Plan.odg", dir / "gone.odg"});
    EXPECT_EQ(r.status, 1); // the missing file
    EXPECT_NE(r.err.find(dir / "Plan.odg" +
                         ": 3 entries (2 intact, 0 unchecked, 0 damaged, 1 partial, "
                         "0 empty); mended content.xml; manifest rebuilt"),
              std::string::npos)
        << r.err;
    const std::string report = testsupport::readText(dir / "report.json");
    for (const char* expected :
         {"\"outcome\": \"saved\"", "\"outcome\": \"missing\"", "\"state\": \"partial\"",
          "\"manifestRebuilt\": true", "\"repairedParts\": [\n        \"content.xml\"",
          "\"name\": \"styles.xml\"", "\"stylesRebuilt\": false"})
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n" << report;
    // The log on stdout stays as it always was.
    EXPECT_EQ(r.out.find("entries"), std::string::npos);
}

TEST_F(Cli, ReportAndSummaryTellOfStylesRebuiltForADrawing)
{
    // An intact drawing whose styles part and manifest are gone; its one shape lies beyond A4.
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "office:version=\"1.3\"><office:body><office:drawing><draw:page><draw:rect "
        "svg:x=\"60cm\" svg:y=\"1cm\" svg:width=\"3cm\" svg:height=\"3cm\"/></draw:page>"
        "</office:drawing></office:body></office:document-content>";
    const auto zip =
        testsupport::ZipBuilder()
            .add({.name = "mimetype",
                  .data = testsupport::bytesOf("application/vnd.oasis.opendocument.graphics"),
                  .method = 0})
            .add({.name = "content.xml", .data = testsupport::bytesOf(content)})
            .build();
    testsupport::writeFile(dir / "Site.odg", zip.bytes);
    const ToolRun r =
        run({"-v", "--report", dir / "report.json", "-o", dir / "out", dir / "Site.odg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(dir / "Site.odg" +
                         ": 2 entries (2 intact, 0 unchecked, 0 damaged, 0 partial, "
                         "0 empty); manifest rebuilt; styles rebuilt\n"),
              std::string::npos)
        << r.err;
    const std::string report = testsupport::readText(dir / "report.json");
    EXPECT_NE(report.find("\"stylesRebuilt\": true"), std::string::npos) << report;
}

} // namespace
