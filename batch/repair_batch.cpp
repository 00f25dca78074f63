#include "batch/repair_batch.h"

#include "batch/batch_texts.h"
#include "engine/file_repairer.h"
#include "engine/log_texts.h"
#include "platform/file_system.h"

#include <cstdio>
#include <exception>

namespace {

std::string counterLine(std::size_t number, std::size_t count)
{
    char text[96];
    std::snprintf(text, sizeof text, batchtext::CounterFormat.data(), number, count);
    return text;
}

} // namespace

BatchSummary RunRepairBatch(BatchView& view)
{
    BatchSummary summary;
    view.SetInfoText(std::string(batchtext::InfoRunning));
    view.ClearLog();
    LogSink& log = view.Log();
    log.AppendLine(batchtext::LogStarted);
    view.ClearStopRequest();

    for (std::size_t i = 0; i < view.ItemCount(); ++i) {
        view.WaitWhileHeld();
        if (view.IsStopRequested())
            break;
        const std::size_t count = view.ItemCount();
        const std::string inputPath = view.ItemPath(i);
        log.AppendLine(batchtext::Separator);
        log.AppendLine(counterLine(i + 1, count));
        log.AppendLine(std::string(batchtext::FileNamePrefix) + inputPath);
        ++summary.processed;

        FileResult result;
        result.found = platform::PathExists(inputPath);
        if (result.found) {
            try {
                CFileRepairer repairer;
                (void)repairer.RepairFile(inputPath, view.DestFolder(), &log);
                result.outcome = repairer.Outcome();
                result.outputPath = repairer.OutputPath();
                result.error = repairer.LastError();
                result.report = repairer.Report();
            } catch (const std::exception&) {
                log.AppendLine(logtext::RepairingFileFail); // out of memory, say: next file
            }
        }
        if (result.saved())
            ++summary.saved;
        view.FileFinished(i, count, result);
    }

    summary.stopped = view.IsStopRequested();
    view.SetInfoText(std::string(batchtext::InfoCompleted));
    view.ToggleInfoBold(batchtext::BackWordFirst, batchtext::BackWordLast);
    view.ToggleInfoBold(batchtext::ExitWordFirst, batchtext::ExitWordLast);
    if (summary.stopped)
        view.ShowAbortMessage(std::string(batchtext::AbortedByUser));
    else
        view.ShowCompletion(view.DestFolder());
    view.ShowEndButtons();
    return summary;
}
