// tarvel-draw: repairs damaged drawings from the command line.
//   tarvel-draw [-o DIR] FILE...
// Exit status: 0 every file was saved, 1 any file failed (or the run was stopped, or the report
// could not be written), 2 usage.
#include "batch/repair_batch.h"
#include "cli/repair_summary.h"
#include "cli/terminal_view.h"
#include "engine/workspace.h"
#include "platform/file_system.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <getopt.h>
#include <string>
#include <vector>

namespace {

constexpr int ExitAllSaved = 0;
constexpr int ExitSomeFailed = 1;
constexpr int ExitUsage = 2;
constexpr const char* Version = "8.12.01";

void printUsage(std::FILE* to)
{
    std::fputs("Usage: tarvel-draw [-o DIR] [--report FILE] [-v] FILE...\n"
               "Repairs damaged OpenDocument drawings. Each FILE is read, never changed; its\n"
               "repaired copy is saved as REC_<name> in DIR, numbered when that name is taken.\n"
               "\n"
               "  -o, --output DIR  save the repaired copies in DIR (made when missing;\n"
               "                    default: the current directory)\n"
               "      --report FILE write a JSON report of what was found, recovered whole\n"
               "                    (CRC-32 checked) or in part, rebuilt and lost\n"
               "  -v, --verbose     print a one-line summary of each file on stderr\n"
               "      --report FILE write a JSON report of what was found, recovered whole\n"
               "                    (CRC-32 checked) or in part, rebuilt and lost\n"
               "  -v, --verbose     print a one-line summary of each file on stderr\n"
               "  -h, --help        show this help and exit\n"
               "  -V, --version     show the version and exit\n"
               "\n"
               "Exit status: 0 when every file was saved, 1 when any was not, 2 for usage errors.\n"
               "Ctrl+C stops after the file being repaired.\n",
               to);
}

int run(int argc, char** argv)
{
    // Before anything is made: an interrupt from here on ends the run through the normal exit,
    // which removes the private workspace.
    TerminalView::InstallStopHandler();
    std::string destFolder;
    std::string reportPath;
    bool verbose = false;
    constexpr int ReportOption = 1000;
    const option longOptions[] = {{"output", required_argument, nullptr, 'o'},
                                  {"report", required_argument, nullptr, ReportOption},
                                  {"verbose", no_argument, nullptr, 'v'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {"version", no_argument, nullptr, 'V'},
                                  {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "+o:hVv", longOptions, nullptr)) != -1;) {
        switch (c) {
        case 'o':
            destFolder = optarg;
            break;
        case ReportOption:
            reportPath = optarg;
            break;
        case 'v':
            verbose = true;
            break;
        case 'h':
            printUsage(stdout);
            return ExitAllSaved;
        case 'V':
            std::printf("tarvel-draw %s\n", Version);
            return ExitAllSaved;
        default:
            if (optopt == 'o')
                std::fprintf(stderr, "tarvel-draw: option -o needs a folder\n");
            else if (optopt == ReportOption)
                std::fprintf(stderr, "tarvel-draw: option --report needs a file\n");
            else
                std::fprintf(stderr, "tarvel-draw: unknown option '%s'\n", argv[optind - 1]);
            printUsage(stderr);
            return ExitUsage;
        }
    }
    std::vector<std::string> files(argv + optind, argv + argc);
    if (files.empty()) {
        std::fprintf(stderr, "tarvel-draw: no input file given\n");
        printUsage(stderr);
        return ExitUsage;
    }

    if (destFolder.empty())
        destFolder = platform::CurrentDirectory();
    if (!platform::IsDirectory(destFolder)) {
        std::error_code ec;
        std::filesystem::create_directories(destFolder, ec);
        if (ec) // every file then fails to save, with its own message
            std::fprintf(stderr, "tarvel-draw: cannot create %s: %s\n", destFolder.c_str(),
                         ec.message().c_str());
    }
    destFolder = platform::WithTrailingSeparator(destFolder);
    if (WorkspaceFolder().empty()) {
        std::fprintf(stderr, "tarvel-draw: cannot make a private workspace in %s\n",
                     GetTempFolder().c_str());
        return ExitSomeFailed;
    }

    TerminalView view(files, destFolder, stdout, stderr, verbose);
    const BatchSummary summary = RunRepairBatch(view);
    bool reportWritten = true;
    if (!reportPath.empty()) {
        nlohmann::json report = {{"version", Version}, {"files", nlohmann::json::array()}};
        const auto& results = view.Results();
        for (std::size_t i = 0; i < results.size(); ++i)
            report["files"].push_back(FileReportJson(files[i], results[i]));
        reportWritten = WriteReport(reportPath, report);
        if (!reportWritten)
            std::fprintf(stderr, "tarvel-draw: cannot write the report %s\n", reportPath.c_str());
    }
    std::printf("%zu of %zu file(s) repaired into %s", summary.saved, files.size(),
                destFolder.c_str());
    if (summary.stopped)
        std::printf(" (stopped by user)");
    std::printf("\n");
    return summary.saved == files.size() && reportWritten ? ExitAllSaved : ExitSomeFailed;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvel-draw: %s\n", e.what());
        return ExitSomeFailed;
    }
}
