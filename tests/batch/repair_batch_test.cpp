#include "batch/repair_batch.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using testsupport::TempDir;

// A view that records what the worker does to it. onFileFinished stands in for the user
// pressing Stop while a file is being repaired.
class FakeView final : public BatchView
{
public:
    std::vector<std::string> files;
    std::string dest;
    bool stopRequested = true; // the worker must clear it at the start
    testsupport::RecordingLog log;
    int clears = 0;
    int holds = 0;
    std::string info;
    std::vector<std::pair<std::size_t, std::size_t>> bold;
    std::vector<std::string> messages;
    std::vector<std::string> completions;
    bool endButtons = false;
    std::vector<FileResult> results;
    std::function<void(std::size_t)> onFileFinished;

    std::size_t ItemCount() override { return files.size(); }
    std::string ItemPath(std::size_t index) override { return files.at(index); }
    std::string DestFolder() override { return dest; }
    bool IsStopRequested() override { return stopRequested; }
    void ClearStopRequest() override { stopRequested = false; }
    void WaitWhileHeld() override { ++holds; }
    void ClearLog() override
    {
        ++clears;
        log.lines.clear();
    }
    LogSink& Log() override { return log; }
    void SetInfoText(const std::string& text) override
    {
        info = text;
        bold.clear();
    }
    void ToggleInfoBold(std::size_t first, std::size_t last) override
    {
        bold.emplace_back(first, last);
    }
    void FileFinished(std::size_t index, std::size_t, const FileResult& result) override
    {
        results.push_back(result);
        if (onFileFinished)
            onFileFinished(index);
    }
    void ShowAbortMessage(const std::string& text) override { messages.push_back(text); }
    void ShowCompletion(const std::string& folder) override { completions.push_back(folder); }
    void ShowEndButtons() override { endButtons = true; }
};

const std::string Separator(66, '=');
const char* const Completed =
    "File repair and saving process completed successfully. Click Back to go back to main window "
    "for repairing more file(s) or click Exit to quit the application.";

TEST(RepairBatch, LogsAHeaderBlockBeforeEachFile)
{
    TempDir dir;
    testsupport::writeFile(dir / "a.odg", "not a drawing");
    FakeView view;
    view.files = {dir / "a.odg"};
    view.dest = dir.path();
    std::string infoWhileRunning;
    view.onFileFinished = [&](std::size_t) { infoWhileRunning = view.info; };
    const BatchSummary summary = RunRepairBatch(view);

    ASSERT_GE(view.log.lines.size(), 5u);
    EXPECT_EQ(view.log.lines[0], "Repairing process started");
    EXPECT_EQ(view.log.lines[1], Separator);
    EXPECT_EQ(view.log.lines[2], "Processing File 1 of 1 ");
    EXPECT_EQ(view.log.lines[3], "File Name : " + dir / "a.odg");
    EXPECT_EQ(view.log.lines[4], "Opening file..");
    EXPECT_EQ(infoWhileRunning, "Please wait\u2026 repairing of file(s) is in progress");
    EXPECT_EQ(summary.processed, 1u);
    EXPECT_EQ(view.clears, 1);
    EXPECT_EQ(view.holds, 1);
}

TEST(RepairBatch, AMissingFileGetsItsHeaderOnlyAndTheRunGoesOn)
{
    TempDir dir;
    testsupport::writeFile(dir / "b.odg", "x");
    FakeView view;
    view.files = {dir / "gone.odg", dir / "b.odg"};
    view.dest = dir.path();
    const BatchSummary summary = RunRepairBatch(view);

    const auto& lines = view.log.lines;
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[3], "File Name : " + dir / "gone.odg");
    EXPECT_EQ(lines[4], Separator);
    EXPECT_EQ(lines[5], "Processing File 2 of 2 ");
    EXPECT_EQ(lines[7], "Opening file..");
    EXPECT_EQ(summary.processed, 2u);
    EXPECT_EQ(summary.failed(), 2u);
    ASSERT_EQ(view.results.size(), 2u);
    EXPECT_FALSE(view.results[0].found);
    EXPECT_TRUE(view.results[1].found);
}

TEST(RepairBatch, EndsWithTheCompletionTextDialogAndButtons)
{
    TempDir dir;
    FakeView view;
    view.dest = dir.path();
    const BatchSummary summary = RunRepairBatch(view); // no file at all

    EXPECT_EQ(view.log.lines, std::vector<std::string>{"Repairing process started"});
    EXPECT_EQ(summary.processed, 0u);
    EXPECT_FALSE(summary.stopped);
    EXPECT_EQ(view.info, Completed);
    EXPECT_EQ(view.info.substr(61, 4), "Back");
    EXPECT_EQ(view.info.substr(128, 4), "Exit");
    EXPECT_EQ(view.bold, (std::vector<std::pair<std::size_t, std::size_t>>{{61, 64}, {128, 131}}));
    EXPECT_EQ(view.completions, std::vector<std::string>{dir.path()});
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(view.endButtons);
}

TEST(RepairBatch, StopTakesEffectBeforeTheNextFile)
{
    TempDir dir;
    FakeView view;
    for (const char* name : {"1.odg", "2.odg", "3.odg"}) {
        testsupport::writeFile(dir / name, "x");
        view.files.push_back(dir / name);
    }
    view.dest = dir.path();
    view.onFileFinished = [&view](std::size_t index) {
        if (index == 0)
            view.stopRequested = true; // Stop answered Yes while file 1 was repaired
    };
    const BatchSummary summary = RunRepairBatch(view);

    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.processed, 1u);
    EXPECT_EQ(std::count(view.log.lines.begin(), view.log.lines.end(), Separator), 1);
    EXPECT_EQ(view.messages, std::vector<std::string>{"Saving abort by user"});
    EXPECT_TRUE(view.completions.empty());
    EXPECT_EQ(view.info, Completed); // shown after a stop as well
    EXPECT_TRUE(view.endButtons);
}

TEST(RepairBatch, ASecondRunStartsAFreshLog)
{
    TempDir dir;
    FakeView view;
    view.files = {dir / "gone.odg"};
    view.dest = dir.path();
    RunRepairBatch(view);
    RunRepairBatch(view);
    EXPECT_EQ(view.clears, 2);
    EXPECT_EQ(view.log.lines.front(), "Repairing process started");
    EXPECT_EQ(std::count(view.log.lines.begin(), view.log.lines.end(), Separator), 1);
}

} // namespace
