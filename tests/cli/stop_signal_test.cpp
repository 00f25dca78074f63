#include "batch/repair_batch.h"
#include "cli/terminal_view.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace {

TEST(TerminalView, InterruptStopsTheBatchBeforeTheNextFile)
{
    testsupport::TempDir dir;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    TerminalView view({dir / "a.odg", dir / "b.odg"}, dir.path(), out, err);
    TerminalView::InstallStopHandler();
    EXPECT_FALSE(view.IsStopRequested());
    std::raise(SIGINT);
    EXPECT_TRUE(view.IsStopRequested());

    const BatchSummary summary = RunRepairBatch(view);
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.processed, 0u);
    std::rewind(err);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
    EXPECT_STREQ(line, "tarvel-draw: Saving abort by user\n");
    std::fclose(out);
    std::fclose(err);
}

} // namespace
