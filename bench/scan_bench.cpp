// Times the signature scan of ExtractFileContent on a generated file next to `cat FILE
// >/dev/null` on the same file, and reports the process's peak memory, which must not grow
// with the file: the scan has one fixed buffer and the offset lists grow with hits only.
//
//   scan_bench [SIZE_MB [FILE]]    default 256 MB in $TMPDIR (or /tmp), removed afterwards
#include "engine/file_repairer.h"
#include "platform/file64.h"
#include "platform/file_system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr std::size_t MiB = 1024 * 1024;
constexpr double MB = 1e6;

// Noise with one local-header and one data-descriptor signature per MiB. The headers announce
// names far over the cap, so salvage looks at each and skips it.
bool writeInput(const std::string& path, std::size_t megabytes)
{
    platform::CFile64 file;
    if (!file.Create(path, platform::CreateMode::Truncate))
        return false;
    std::vector<std::uint8_t> chunk(MiB);
    std::uint32_t state = 2463534242u;
    for (auto& b : chunk) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    const std::uint8_t header[] = {0x50, 0x4B, 0x03, 0x04};
    const std::uint8_t descriptor[] = {0x50, 0x4B, 0x07, 0x08};
    std::copy(std::begin(header), std::end(header), chunk.begin() + 1000);
    chunk[1000 + 26] = 0xFF; // name length 0xFFFF: skipped
    chunk[1000 + 27] = 0xFF;
    std::copy(std::begin(descriptor), std::end(descriptor), chunk.begin() + 500000);
    const std::size_t total = megabytes * static_cast<std::size_t>(MB);
    for (std::size_t written = 0; written < total; written += chunk.size()) {
        const std::size_t count = std::min(chunk.size(), total - written);
        if (!file.Write(std::span(chunk.data(), count)))
            return false;
    }
    return file.CloseChecked();
}

double secondsOf(auto&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKilobytes()
{
    rusage usage = {};
    (void)::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const bool ownFile = argc <= 2;
    const std::string path =
        ownFile ? platform::TempFolder() + "tarvel-scan-bench.bin" : std::string(argv[2]);
    if (megabytes == 0 || (ownFile && !writeInput(path, megabytes))) {
        std::fprintf(stderr, "scan_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    const double size = static_cast<double>(platform::FileSize(path).value_or(0));
    const std::string cat = "cat '" + path + "' >/dev/null";
    const long peakBefore = peakKilobytes();

    const double catFirst = secondsOf([&] { (void)std::system(cat.c_str()); });
    std::size_t hits = 0;
    const double scan = secondsOf([&] {
        CFileRepairer repairer;
        if (repairer.OpenInputFile(path))
            repairer.ScanSignatures();
        hits = repairer.m_localHeaderOffsets.size() + repairer.m_dataDescriptorOffsets.size();
    });
    const double extract = secondsOf([&] {
        CFileRepairer repairer;
        if (repairer.OpenInputFile(path))
            (void)repairer.ExtractFileContent();
    });
    const double catSecond = secondsOf([&] { (void)std::system(cat.c_str()); });

    std::printf("file               %.0f MB (%s)\n", size / MB, path.c_str());
    std::printf("cat >/dev/null     %8.0f MB/s  %8.0f MB/s (before, after)\n", size / MB / catFirst,
                size / MB / catSecond);
    std::printf("scan               %8.0f MB/s  (%zu signatures)\n", size / MB / scan, hits);
    std::printf("ExtractFileContent %8.0f MB/s\n", size / MB / extract);
    std::printf("peak memory        %8ld KiB  (%ld KiB before the runs)\n", peakKilobytes(),
                peakBefore);
    if (ownFile)
        (void)platform::DeleteFile(path);
    return 0;
}
