// What the batch worker needs of the window (or terminal) that drives it. The worker calls these
// from its own thread; an implementation that owns widgets hands each call to its UI thread.
#pragma once

#include "engine/file_repairer.h"
#include "engine/log_sink.h"

#include <cstddef>
#include <string>
#include <system_error>

// What became of one listed file.
struct FileResult
{
    bool found = false; // the path still existed when its turn came
    RepairOutcome outcome = RepairOutcome::NotRun;
    std::string outputPath; // where the repaired copy was saved
    std::error_code error;  // why opening or saving failed
    RepairReport report;    // what was salvaged, mended and lost
    [[nodiscard]] bool saved() const { return outcome == RepairOutcome::Saved; }
};

class BatchView
{
public:
    virtual ~BatchView() = default;

    virtual std::size_t ItemCount() = 0;
    virtual std::string ItemPath(std::size_t index) = 0;
    // The destination folder, with a trailing separator.
    virtual std::string DestFolder() = 0;

    virtual bool IsStopRequested() = 0;
    virtual void ClearStopRequest() = 0;
    // A safe point between files: returns at once unless the view holds the worker (while its
    // stop question is open), then when the hold is released.
    virtual void WaitWhileHeld() {}

    // The repair log: cleared at the start of a run, then extended line by line.
    virtual void ClearLog() = 0;
    virtual LogSink& Log() = 0;

    virtual void SetInfoText(const std::string& text) = 0;
    // Makes the characters first..last of the information text bold, or regular when all of
    // them are bold already.
    virtual void ToggleInfoBold(std::size_t first, std::size_t last) = 0;

    // Progress: file index (from 0) of count is done, with what became of it.
    virtual void FileFinished(std::size_t index, std::size_t count, const FileResult& result)
    {
        (void)index;
        (void)count;
        (void)result;
    }

    // End of run: the message after a stop, or the completion dialog for the destination folder.
    // Both return when the user has closed them.
    virtual void ShowAbortMessage(const std::string& text) = 0;
    virtual void ShowCompletion(const std::string& destFolder) = 0;
    // Hides Stop and Next, shows Back and Exit.
    virtual void ShowEndButtons() = 0;
};
