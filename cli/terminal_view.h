// The batch view of the command line: the file list and destination come from the arguments,
// the repair log goes to stdout line by line, problems go to stderr, and Ctrl+C asks the run to
// stop after the current file.
#pragma once

#include "batch/batch_view.h"

#include <cstdio>
#include <string>
#include <vector>

class TerminalView final : public BatchView, private LogSink
{
public:
    TerminalView(std::vector<std::string> files, std::string destFolder, std::FILE* out,
                 std::FILE* err, bool verbose = false);

    // What became of each file, in list order, once the run is over.
    [[nodiscard]] const std::vector<FileResult>& Results() const { return m_results; }

    // Routes SIGINT and SIGTERM to a stop request; a second signal ends the program at once.
    static void InstallStopHandler();

    std::size_t ItemCount() override { return m_files.size(); }
    std::string ItemPath(std::size_t index) override { return m_files.at(index); }
    std::string DestFolder() override { return m_destFolder; }
    bool IsStopRequested() override;
    void ClearStopRequest() override;
    void ClearLog() override {}
    LogSink& Log() override { return *this; }
    void SetInfoText(const std::string&) override {}
    void ToggleInfoBold(std::size_t, std::size_t) override {}
    void FileFinished(std::size_t index, std::size_t count, const FileResult& result) override;
    void ShowAbortMessage(const std::string& text) override;
    void ShowCompletion(const std::string&) override {}
    void ShowEndButtons() override {}

private:
    void AppendLine(std::string_view line) override;

    std::vector<std::string> m_files;
    std::string m_destFolder;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_verbose;
    std::vector<FileResult> m_results;
};
