#include "cli/terminal_view.h"

#include "cli/repair_summary.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace {

// Written by the signal handler, read by the batch between files.
std::atomic<bool> g_stopSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    g_stopSignalled.store(true);
}

std::string describeFailure(const std::string& path, const FileResult& result,
                            const std::string& destFolder)
{
    if (!result.found)
        return path + ": no such file";
    switch (result.outcome) {
    case RepairOutcome::OpenFailed:
        if (result.error == std::errc::device_or_resource_busy)
            return path + ": cannot open: the file is locked by another program";
        return path + ": cannot open: " + result.error.message();
    case RepairOutcome::NothingMade:
        return path + ": nothing could be recovered";
    case RepairOutcome::SaveFailed:
        return path + ": cannot save into " + destFolder + ": " + result.error.message();
    case RepairOutcome::NotRun:
        return path + ": the repair stopped on an unexpected error";
    case RepairOutcome::Saved:
        break;
    }
    return path;
}

} // namespace

TerminalView::TerminalView(std::vector<std::string> files, std::string destFolder, std::FILE* out,
                           std::FILE* err, bool verbose)
    : m_files(std::move(files)), m_destFolder(std::move(destFolder)), m_out(out), m_err(err),
      m_verbose(verbose)
{
}

void TerminalView::InstallStopHandler()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND; // the second Ctrl+C is not caught
    sigemptyset(&action.sa_mask);
    (void)sigaction(SIGINT, &action, nullptr);
    (void)sigaction(SIGTERM, &action, nullptr);
}

bool TerminalView::IsStopRequested()
{
    return g_stopSignalled.load();
}

void TerminalView::ClearStopRequest()
{
    // A Ctrl+C before the run began still counts: the user wants no run.
}

void TerminalView::AppendLine(std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void TerminalView::FileFinished(std::size_t index, std::size_t, const FileResult& result)
{
    m_results.push_back(result);
    if (m_verbose && result.found && result.outcome != RepairOutcome::OpenFailed)
        std::fprintf(m_err, "tarvel-draw: %s: %s\n", m_files.at(index).c_str(),
                     FileSummary(result).c_str());
    if (!result.saved())
        std::fprintf(m_err, "tarvel-draw: %s\n",
                     describeFailure(m_files.at(index), result, m_destFolder).c_str());
}

void TerminalView::ShowAbortMessage(const std::string& text)
{
    std::fprintf(m_err, "tarvel-draw: %s\n", text.c_str());
}
