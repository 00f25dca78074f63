#include "engine/file_repairer.h"

#include "content/content_part.h"
#include "content/package_repair.h"
#include "engine/log_texts.h"
#include "engine/output_naming.h"
#include "engine/workspace.h"
#include "package/package_assembly.h"
#include "platform/file_system.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::string_view OutputPrefix = "REC_";
constexpr std::string_view ContentPartName = "content.xml";
constexpr std::string_view ContentCopyName = "content1.xml";
// How often a name is chosen again when another program takes it between the choice and the
// copy; beyond that the save is reported as failed.
constexpr int MaxNamingRaces = 16;

void deleteWorkspaceItems(const std::string& folder)
{
    (void)platform::DeleteFile(folder + std::string(TempArchiveName));
    (void)platform::DeleteFile(folder + std::string(PackedContainerName));
    (void)platform::DeleteFile(folder + std::string(ContentCopyName));
    (void)CDirectoryManager().DeleteDirectoryTree(folder + std::string(WorkspaceTreeName) + "/");
}

} // namespace

CFileRepairer::CFileRepairer()
{
    ResetWorkspace();
}

CFileRepairer::~CFileRepairer()
{
    ResetWorkspace();
    m_localHeaderOffsets.clear();
    m_dataDescriptorOffsets.clear();
    m_centralHeaderOffsets.clear();
    m_file.Close();
}

void CFileRepairer::LogLine(std::string text)
{
    if (m_pLogWnd)
        m_pLogWnd->AppendLine(text);
}

bool CFileRepairer::OpenInputFile(const std::string& path)
{
    m_file.Close();
    if (m_file.OpenExclusiveRead(path))
        return true;
    m_lastError = m_file.LastError();
    return false;
}

bool CFileRepairer::RepairFile(std::string inputPath, std::string destFolder, LogSink* logWnd)
{
    m_pLogWnd = logWnd;
    m_outcome = RepairOutcome::NotRun;
    m_outputPath.clear();
    const std::string temp = WorkspaceFolder();
    const std::string tree = temp + std::string(WorkspaceTreeName) + "/";
    const std::string container = temp + std::string(PackedContainerName);
    deleteWorkspaceItems(temp);

    LogLine(std::string(logtext::OpeningFile));
    if (temp.empty() || !OpenInputFile(inputPath)) {
        if (temp.empty())
            m_lastError = std::error_code(EACCES, std::generic_category());
        LogLine(std::string(logtext::OpeningFileFail));
        m_outcome = RepairOutcome::OpenFailed;
        deleteWorkspaceItems(temp);
        return true;
    }
    LogLine(std::string(logtext::OpeningFileDone));
    LogLine(std::string(logtext::ExtractingContent));
    if (ExtractFileContent()) {
        LogLine(std::string(logtext::ExtractingContentDone));
        LogLine(std::string(logtext::MakingNewFile));

        // The salvaged content part may be a read-only extract; it is replaced by a fresh,
        // writable copy of itself made from a working copy. The working copy lies beside the
        // tree, never in it: LibreOffice refuses a package holding an entry that its manifest
        // does not list.
        const std::string content = tree + std::string(ContentPartName);
        const std::string contentCopy = temp + std::string(ContentCopyName);
        (void)platform::CopyFile(content, contentCopy, false); // no content part: nothing to copy
        (void)platform::SetNormalAttributes(content);
        (void)platform::DeleteFile(content);
        RepairContentPart(contentCopy, content);
        (void)platform::DeleteFile(contentCopy);

        // LibreOffice loads a package only when its parts parse, every picture they name is
        // there and the manifest lists exactly what the package holds.
        recordPackageRepair(content::RepairPackageTree(tree, contentSalvagedWhole()));

        // An input that gave nothing at all (not a container, or no entry survived) would be
        // packed into an empty container that opens nowhere; nothing is saved for it.
        const bool salvaged = HasFilesToPack(tree);
        if (salvaged)
            (void)AssembleDocumentPackage(tree, container);
        // The writer removes a container it could not write completely.
        const bool packed = salvaged && platform::PathExists(container);
        LogLine(std::string(salvaged && !packed ? logtext::MakingNewFileFail
                                                : logtext::MakingNewFileDone));
        if (!salvaged)
            LogLine(std::string(logtext::NoRecoverableContent));
        (void)CDirectoryManager().DeleteDirectoryTree(tree);
        (void)platform::DeleteFile(temp + std::string(TempArchiveName));

        if (packed) {
            saveResult(inputPath, destFolder, container);
        } else if (salvaged) {
            m_outcome = RepairOutcome::SaveFailed; // no container means nothing to save
            m_lastError = std::make_error_code(std::errc::io_error);
        } else {
            m_outcome = RepairOutcome::NothingMade;
        }
    }
    deleteWorkspaceItems(temp);
    return true;
}

void CFileRepairer::recordPackageRepair(const content::PackageRepairReport& package)
{
    m_report.repairedParts = package.repairedParts;
    m_report.droppedParts = package.droppedParts;
    m_report.lostParts = package.lostParts;
    m_report.droppedReferences = package.droppedReferences;
    m_report.mimetypeRestored = package.mimetypeRestored;
    m_report.manifestRebuilt = package.manifestRebuilt;
    m_report.stylesRebuilt = package.stylesRebuilt;
    m_report.contentRebuilt = package.contentRebuilt;
    m_report.picturesPlaced = package.picturesPlaced;
}

bool CFileRepairer::contentSalvagedWhole() const
{
    return std::any_of(m_report.entries.begin(), m_report.entries.end(), [](const EntryReport& e) {
        return e.name == ContentPartName &&
               (e.state == EntryState::Intact || e.state == EntryState::Complete);
    });
}

void CFileRepairer::saveResult(const std::string& inputPath, const std::string& destFolder,
                               const std::string& container)
{
    const std::string candidate =
        destFolder + std::string(OutputPrefix) + platform::FileNameOf(inputPath);
    bool saved = false;
    std::string output;
    for (int attempt = 0; attempt < MaxNamingRaces && !saved; ++attempt) {
        output = MakeUniqueOutputName(candidate);
        std::error_code error;
        saved = platform::CopyFile(container, output, true, &error);
        m_lastError = error;
        if (!saved && error != std::errc::file_exists)
            break; // only a name taken in the meantime is worth another try
    }
    (void)platform::DeleteFile(container);
    if (saved) {
        m_outcome = RepairOutcome::Saved;
        m_outputPath = output;
        LogLine(std::string(logtext::RepairedFileName) + output);
    } else {
        m_outcome = RepairOutcome::SaveFailed;
        LogLine(std::string(logtext::SavingRepairedFileFail));
    }
}
