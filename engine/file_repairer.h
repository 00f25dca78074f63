// CFileRepairer: turns one damaged input file into one repaired copy in the destination folder.
// One object serves one file: construct, RepairFile, destroy. The workspace is emptied at each
// of those steps, so nothing of one file reaches the next. The salvage steps live in salvage/.
#pragma once

#include "engine/log_sink.h"
#include "platform/file64.h"

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

// How a file's repair ended, for callers that need more than the log (exit codes, summaries).
enum class RepairOutcome
{
    NotRun,
    OpenFailed,  // the input could not be opened (missing, locked, not a regular file, ...)
    NothingMade, // no container came out of packing
    SaveFailed,  // the container could not be copied into the destination folder
    Saved,
};

class CFileRepairer
{
public:
    CFileRepairer();
    ~CFileRepairer();
    CFileRepairer(const CFileRepairer&) = delete;
    CFileRepairer& operator=(const CFileRepairer&) = delete;

    // Runs the whole pipeline for one input and reports each step through logWnd. destFolder
    // ends with a separator. Returns true in every case; Outcome() tells what happened.
    bool RepairFile(std::string inputPath, std::string destFolder, LogSink* logWnd);

    // Opens the input read-only and unshared; false (and m_file closed) on failure.
    [[nodiscard]] bool OpenInputFile(const std::string& path);

    // Salvages every entry found in the input into the workspace tree; true in every case.
    bool ExtractFileContent();

    // Appends one line to the repair log.
    void LogLine(std::string text);

    [[nodiscard]] RepairOutcome Outcome() const { return m_outcome; }
    // The path the repaired copy was saved under, once Outcome() is Saved.
    [[nodiscard]] const std::string& OutputPath() const { return m_outputPath; }
    // Why the input could not be opened, or why saving failed.
    [[nodiscard]] const std::error_code& LastError() const { return m_lastError; }

    platform::CFile64 m_file;
    std::vector<std::int64_t> m_localHeaderOffsets;    // ascending, filled by the scan
    std::vector<std::int64_t> m_dataDescriptorOffsets; // ascending, filled by the scan
    LogSink* m_pLogWnd = nullptr;                      // not owned

private:
    void saveResult(const std::string& inputPath, const std::string& destFolder,
                    const std::string& container);

    RepairOutcome m_outcome = RepairOutcome::NotRun;
    std::string m_outputPath;
    std::error_code m_lastError;
};
