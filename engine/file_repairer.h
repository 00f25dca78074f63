// CFileRepairer: turns one damaged input file into one repaired copy in the destination folder.
// One object serves one file: construct, RepairFile, destroy. The workspace is emptied at each
// of those steps, so nothing of one file reaches the next. The salvage steps live in salvage/.
#pragma once

#include "content/package_repair.h"
#include "engine/log_sink.h"
#include "engine/repair_report.h"
#include "platform/file64.h"
#include "salvage/entry_path.h"
#include "salvage/local_header.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
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

    // Salvage (salvage/). The input must be open; every routine reads it through its own fixed
    // buffer and reports nothing to the log.

    // The scan of ExtractFileContent: fills the three offset lists from the whole input.
    void ScanSignatures();
    // Appends the offsets of the local-header, data-descriptor and central-directory-header
    // signatures that lie wholly inside block (its first byte at baseOffset) to the lists.
    void ScanBlock(std::span<const std::uint8_t> block, std::int64_t baseOffset);
    // Calls SalvageEntryAt for every local-header offset, in file order, then (reading in
    // place) SalvageFromCentralDirectory.
    void SalvageEntries(const std::string& workspacePath);
    // For every entry a central-directory header names that has no intact copy yet (a local
    // header destroyed, an entry cut short), looks for its data at the directory's offset, moved
    // by the shift of the nearest entries found both ways or by none, behind a local extra field
    // of the directory's length, none or the local header's own. Places a copy only when its
    // CRC-32 and size check; a record that fails every check changes nothing. Directory entries
    // and methods other than stored and deflated are skipped.
    void SalvageFromCentralDirectory(const std::string& workspacePath);
    // Reads the local header at offset and hands the entry to the stored or deflated recovery;
    // an implausible header is skipped without a trace.
    void SalvageEntryAt(const std::string& workspacePath, std::int64_t offset);
    // Copies the bytes from dataOffset up to the next record signature into the entry's file.
    // Returns false when no target file could be created (also for a directory entry).
    [[nodiscard]] bool RecoverStoredEntry(const std::string& name, std::int64_t dataOffset,
                                          const std::string& workspacePath);
    // Rebuilds the entry as the one-entry archive "temp12temp.zip" and extracts it with the
    // archive reader. Returns false when the temp archive cannot be created or written.
    [[nodiscard]] bool RecoverDeflatedEntry(const salvage::LocalHeaderRecord& header,
                                            const std::string& name, std::int64_t dataOffset,
                                            const std::string& workspacePath);
    // Inflates a deflated entry straight from the input into the workspace, keeping every byte
    // that inflates before any damage, and checks it against the CRC-32 and size of its local
    // header or of the data descriptor that follows its stream. Of two copies of one name the
    // better one stays. Returns what came back (Empty when nothing did).
    EntryState RecoverDeflatedInPlace(const salvage::LocalHeaderRecord& header,
                                      const std::string& name, std::int64_t dataOffset,
                                      const std::string& workspacePath);
    // Copies a stored entry whose local header gives its size, when the CRC-32 of those bytes
    // matches the header's; Empty (and nothing written) otherwise.
    EntryState RecoverStoredVerified(const salvage::LocalHeaderRecord& header,
                                     const std::string& name, std::int64_t dataOffset,
                                     const std::string& workspacePath);
    // Inflates a deflated entry whose local header gives its CRC-32 and sizes, and places it
    // when it inflates to exactly that size and CRC-32; Empty (and nothing kept) otherwise.
    EntryState RecoverDeflatedVerified(const salvage::LocalHeaderRecord& header,
                                       const std::string& name, std::int64_t dataOffset,
                                       const std::string& workspacePath);

    // The first data descriptor found after offset; all zeros when there is none.
    [[nodiscard]] salvage::DataDescriptorRecord ReadDataDescriptorAfter(std::int64_t offset);

    // Creates the directories of entry below the workspace tree, never through a symbolic link,
    // and returns the directory the entry's file goes into (the entry's own directory for a
    // directory entry); a closed handle when any step fails.
    [[nodiscard]] static salvage::DirectoryHandle
    CreateParentDirectories(const std::string& workspacePath, const salvage::EntryPath& entry);
    // Looks for the first record signature (local header, data descriptor, central header, end
    // record or ZIP64 end record and locator) that lies wholly in chunk[start, length). On a hit
    // it sets length to its position and returns true; otherwise length stays as it is.
    [[nodiscard]] static bool FindNextSignature(std::span<const std::uint8_t> chunk,
                                                std::size_t start, std::size_t& length);

    // Appends one line to the repair log.
    void LogLine(std::string text);

    [[nodiscard]] RepairOutcome Outcome() const { return m_outcome; }
    // What was salvaged, mended and lost; filled as the pipeline runs.
    [[nodiscard]] const RepairReport& Report() const { return m_report; }
    // The path the repaired copy was saved under, once Outcome() is Saved.
    [[nodiscard]] const std::string& OutputPath() const { return m_outputPath; }
    // Why the input could not be opened, or why saving failed.
    [[nodiscard]] const std::error_code& LastError() const { return m_lastError; }

    platform::CFile64 m_file;
    std::vector<std::int64_t> m_localHeaderOffsets;    // ascending, filled by the scan
    std::vector<std::int64_t> m_dataDescriptorOffsets; // ascending, filled by the scan
    std::vector<std::int64_t> m_centralHeaderOffsets;  // ascending, filled by the scan
    LogSink* m_pLogWnd = nullptr;                      // not owned
    // Entries are first read where they lie and checked (see RecoverDeflatedInPlace); off, only
    // the one-entry archive and the copy up to the next signature are used.
    bool m_inPlaceRecovery = true;

private:
    struct CopyOutcome
    {
        std::int64_t copied = 0;
        bool writeFailed = false;
        bool limitReached = false;
    };
    // Copies input bytes from `from` into out up to the next record signature (searched from
    // position firstStart of the first chunk), the end of the file or `limit` bytes.
    CopyOutcome copyEntryData(std::int64_t from, std::size_t firstStart, platform::CFile64& out,
                              std::int64_t limit);

    void recordPackageRepair(const content::PackageRepairReport& package);
    // Whether the content part came back whole (checked or not) rather than in part or not at all.
    [[nodiscard]] bool contentSalvagedWhole() const;
    void saveResult(const std::string& inputPath, const std::string& destFolder,
                    const std::string& container);

    // Moves a finished temporary file into the workspace as entry's file unless a copy at least
    // as good is there already. Returns whether it was placed.
    bool placeRecovered(const std::string& temporary, const std::string& workspacePath,
                        const salvage::EntryPath& entry, EntryState state, bool readOnly);

    RepairOutcome m_outcome = RepairOutcome::NotRun;
    RepairReport m_report;
    // Signatures below this offset lie inside the data of an entry already recovered whole, so
    // they are bytes of that data, not headers.
    std::int64_t m_claimedUntil = 0;
    // Inflating left for finding flipped bits in this file: a file damaged all over would
    // otherwise be searched bit by bit in every entry.
    std::size_t m_flipWorkLeft = std::size_t{64} << 20;
    // Inflating and reading left for finding several flipped bits in one XML part of this file.
    std::size_t m_readWorkLeft = std::size_t{256} << 20;
    // The state of the copy each workspace path holds, for choosing between duplicates.
    std::map<std::string, EntryState> m_placedStates;
    std::string m_outputPath;
    std::error_code m_lastError;
};
