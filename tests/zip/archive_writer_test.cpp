// The archive writer, checked the way a reader sees its output: every header decoded field by
// field, every entry's data read back and compared byte for byte, and the whole archive handed
// to independent readers (python3's zipfile, Info-ZIP's unzip).
#include "platform/file_system.h"
#include "support/temp_dir.h"
#include "support/zip_decoder.h"
#include "zip/archive_writer.h"
#include "zip/le_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

constexpr std::uint32_t OrdinaryFileAttributes = 0x81800020; // regular, owner rw, archive bit
constexpr std::uint32_t ReadOnlyFileAttributes = 0x81000021; // no owner write, read-only bit

constexpr std::uint16_t dosDate(int year, int month, int day)
{
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

constexpr std::uint16_t dosTime(int hour, int minute, int second)
{
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// The 13-byte "UT" data of a local extra field: flags, then modification, access, creation.
struct LocalTimes
{
    std::uint32_t modification = 0;
    std::uint32_t access = 0;
    std::uint32_t creation = 0;
};

LocalTimes localTimesOf(const testsupport::DecodedLocalHeader& local)
{
    EXPECT_EQ(local.extra.size(), 17u);
    EXPECT_EQ(zip::readLe16(local.extra, 0), 0x5455); // "UT"
    EXPECT_EQ(zip::readLe16(local.extra, 2), 13);
    EXPECT_EQ(local.extra.at(4), 7);
    return {*zip::readLe32(local.extra, 5), *zip::readLe32(local.extra, 9),
            *zip::readLe32(local.extra, 13)};
}

// Sets a time zone for one test and restores the one before.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_old;
};

// Makes every write past the given file size fail (EFBIG), as a full disk would, for one test.
class ScopedFileSizeLimit
{
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit m_old = {};
    void (*m_oldHandler)(int) = nullptr;
};

class ArchiveWriter : public testing::Test
{
protected:
    // Writes a source file and returns its path.
    std::string source(const std::string& name, std::span<const std::uint8_t> bytes)
    {
        const std::string path = dir / ("src-" + name);
        testsupport::writeFile(path, bytes);
        return path;
    }
    std::string source(const std::string& name, std::string_view text)
    {
        return source(name, testsupport::bytesOf(text));
    }

    // Packs (entry name, source path) pairs and returns the archive's bytes.
    Bytes pack(const std::vector<std::pair<std::string, std::string>>& files)
    {
        auto handle = zip::CreateArchive(archive);
        EXPECT_NE(handle, nullptr);
        for (const auto& [name, path] : files)
            EXPECT_EQ(zip::AddFileToArchive(handle.get(), name, path), zip::ArchiveOk) << name;
        EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveOk);
        return testsupport::readFile(archive);
    }

    TempDir dir;
    std::string archive = dir / "out.zip";
};

TEST_F(ArchiveWriter, ArchiveWithoutEntriesIsTheEndRecordAlone)
{
    const Bytes bytes = pack({});
    Bytes expected = {0x50, 0x4B, 0x05, 0x06};
    expected.resize(22, 0);
    EXPECT_EQ(bytes, expected);
}

TEST_F(ArchiveWriter, WritesEveryHeaderFieldAsTheFormatDefines)
{
    const ScopedTimeZone zone("<+03>-3"); // three hours east of UTC all year
    const Bytes stored = testsupport::noise(1000, 7);
    const std::string storedPath = source("stored", stored);
    const std::string deflatedPath = source("deflated", std::string(5000, 'x'));
    constexpr std::int64_t Modified = 1717237230; // 2024-06-01 10:20:30 UTC
    constexpr std::int64_t Accessed = 1577836800; // 2020-01-01 00:00:00 UTC
    for (const auto& path : {storedPath, deflatedPath})
        ASSERT_TRUE(platform::SetFileTimes(path, {Accessed, 0}, {Modified, 0}));
    const auto born = platform::GetFileTimes(deflatedPath);
    ASSERT_TRUE(born);

    const Bytes bytes = pack({{"a.zip", storedPath}, {"Pictures\\b.xml", deflatedPath}});
    const auto decoded = testsupport::decodeArchive(bytes);

    ASSERT_EQ(decoded.central.size(), 2u);
    struct Expected
    {
        std::string name;
        std::uint16_t flags;
        std::uint16_t method;
        std::uint32_t size;
    };
    const Expected expected[] = {{"a.zip", 0x0000, 0, 1000}, {"Pictures/b.xml", 0x0002, 8, 5000}};
    std::size_t nextLocal = 0;
    std::size_t directorySize = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(expected[i].name);
        const auto& l = decoded.local[i];
        const auto& c = decoded.central[i];
        // Local header: written in order, back to back, from offset 0.
        EXPECT_EQ(l.offset, nextLocal);
        EXPECT_EQ(l.versionNeeded, 20);
        EXPECT_EQ(l.flags, expected[i].flags);
        EXPECT_EQ(l.method, expected[i].method);
        EXPECT_EQ(l.dosDate, dosDate(2024, 6, 1)); // local wall clock, 3 hours ahead
        EXPECT_EQ(l.dosTime, dosTime(13, 20, 30));
        EXPECT_EQ(l.uncompressedSize, expected[i].size);
        EXPECT_EQ(l.name, expected[i].name);
        const LocalTimes times = localTimesOf(l);
        EXPECT_EQ(times.modification, static_cast<std::uint32_t>(Modified));
        EXPECT_EQ(times.access, static_cast<std::uint32_t>(Accessed));
        EXPECT_EQ(times.creation, static_cast<std::uint32_t>(born->creation.seconds));
        // Central header: the same values, plus what only it carries.
        EXPECT_EQ(c.versionMadeBy, 0x0B17);
        EXPECT_EQ(c.versionNeeded, 20);
        EXPECT_EQ(c.flags, l.flags);
        EXPECT_EQ(c.method, l.method);
        EXPECT_EQ(c.dosTime, l.dosTime);
        EXPECT_EQ(c.dosDate, l.dosDate);
        EXPECT_EQ(c.crc, l.crc);
        EXPECT_EQ(c.compressedSize, l.compressedSize);
        EXPECT_EQ(c.uncompressedSize, l.uncompressedSize);
        EXPECT_EQ(c.name, l.name);
        EXPECT_EQ(c.commentLength, 0);
        EXPECT_EQ(c.diskNumberStart, 0);
        EXPECT_EQ(c.internalAttributes, 0);
        EXPECT_EQ(c.externalAttributes, OrdinaryFileAttributes);
        EXPECT_EQ(c.localHeaderOffset, l.offset);
        const Bytes centralExtra = {0x55,       0x54,       5,          0,         7,
                                    l.extra[5], l.extra[6], l.extra[7], l.extra[8]};
        EXPECT_EQ(c.extra, centralExtra);
        nextLocal = l.dataOffset + l.compressedSize;
        directorySize += 46 + c.name.size() + 9;
    }
    EXPECT_EQ(decoded.local[0].compressedSize, 1000u);
    EXPECT_EQ(decoded.local[0].crc, testsupport::crc32Of(stored));
    EXPECT_LT(decoded.local[1].compressedSize, 100u);
    EXPECT_EQ(decoded.local[1].crc,
              testsupport::crc32Of(testsupport::bytesOf(std::string(5000, 'x'))));
    // The end record: one disk, both counts, the directory right after the last data.
    EXPECT_EQ(decoded.end.diskNumber, 0);
    EXPECT_EQ(decoded.end.directoryDisk, 0);
    EXPECT_EQ(decoded.end.entriesOnDisk, 2);
    EXPECT_EQ(decoded.end.entriesTotal, 2);
    EXPECT_EQ(decoded.end.directoryOffset, nextLocal);
    EXPECT_EQ(decoded.end.directorySize, directorySize);
    EXPECT_EQ(decoded.end.commentLength, 0);
    EXPECT_EQ(testsupport::entryData(decoded, bytes, 0), stored);
}

TEST_F(ArchiveWriter, RoundTripGivesEveryByteBackThroughIndependentReaders)
{
    // Sizes on both sides of the 16384-byte data buffer, text that compresses and noise that
    // does not, and files with nothing in them.
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"empty.xml", {}},
        {"one.bin", {0x42}},
        {"edge-16383.bin", testsupport::noise(16383, 2)},
        {"edge-16384.bin", testsupport::noise(16384, 3)},
        {"edge-16385.bin", testsupport::noise(16385, 4)},
        {"content.xml", testsupport::bytesOf(std::string(300000, '<'))},
        {"Pictures/noise.png", testsupport::noise(200001, 5)},
        {"Pictures/stored.zip", testsupport::noise(70000, 6)},
        {"deep/er/still.txt", testsupport::bytesOf("text")},
    };
    std::vector<std::pair<std::string, std::string>> sources;
    for (std::size_t i = 0; i < files.size(); ++i)
        sources.emplace_back(files[i].first, source(std::to_string(i), files[i].second));
    const Bytes bytes = pack(sources);

    const auto decoded = testsupport::decodeArchive(bytes);
    ASSERT_EQ(decoded.central.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(decoded.central[i].name, files[i].first);
        EXPECT_EQ(decoded.local[i].crc, testsupport::crc32Of(files[i].second)) << files[i].first;
        EXPECT_EQ(testsupport::entryData(decoded, bytes, i), files[i].second) << files[i].first;
    }

    if (testsupport::unzipTest(archive) != -1)
        EXPECT_EQ(testsupport::unzipTest(archive), 0);
    if (!testsupport::havePython())
        GTEST_SKIP() << "python3 is missing: no independent extraction";
    const std::string out = dir / "extracted/";
    ASSERT_EQ(testsupport::pythonExtract(archive, out), 0);
    for (const auto& [name, data] : files)
        EXPECT_EQ(testsupport::readFile(out + name), data) << name;
}

struct SuffixCase
{
    const char* label;
    const char* name;
    std::uint16_t method;
};

constexpr SuffixCase SuffixCases[] = {
    {"UpperCaseZip", "a.ZIP", 0},  {"MixedCaseZip", "a.Zip", 0},
    {"LowerCaseZ", "a.z", 0},      {"TarGz", "a.tar.gz", 0},
    {"Tgz", "b.tgz", 0},           {"Zoo", "c.zoo", 0},
    {"Arc", "d.ARC", 0},           {"Lzh", "e.lzh", 0},
    {"Arj", "f.arj", 0},           {"OnlyTheSuffix", ".gz", 0},
    {"NoFullStop", "notes", 8},    {"SuffixInDirectory", "dir.zip/file", 8},
    {"LongerSuffix", "a.gzip", 8}, {"PictureStaysDeflated", "Pictures/a.png", 8},
    {"Mimetype", "mimetype", 8},   {"BackslashDirectory", "x.gz\\y", 8},
};

void PrintTo(const SuffixCase& c, std::ostream* out)
{
    *out << c.label;
}

class StoredSuffix : public testing::TestWithParam<SuffixCase>
{};

TEST_P(StoredSuffix, ChoosesTheMethodByTheNamesLastSuffix)
{
    TempDir dir;
    const std::string path = dir / "source";
    testsupport::writeFile(path, "some text some text some text");
    auto handle = zip::CreateArchive(dir / "out.zip");
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(zip::AddFileToArchive(handle.get(), GetParam().name, path), zip::ArchiveOk);
    ASSERT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveOk);
    const Bytes bytes = testsupport::readFile(dir / "out.zip");
    const auto decoded = testsupport::decodeArchive(bytes);
    ASSERT_EQ(decoded.local.size(), 1u);
    EXPECT_EQ(decoded.local[0].method, GetParam().method);
    EXPECT_EQ(decoded.local[0].flags, GetParam().method == 8 ? 0x0002 : 0x0000);
    EXPECT_EQ(testsupport::entryData(decoded, bytes, 0),
              testsupport::bytesOf("some text some text some text"));
}

INSTANTIATE_TEST_SUITE_P(Names, StoredSuffix, testing::ValuesIn(SuffixCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ArchiveWriter, EmptySourcesGiveEmptyEntriesOfBothMethods)
{
    const std::string empty = source("empty", "");
    const Bytes bytes = pack({{"x.zip", empty}, {"x.xml", empty}});
    const auto decoded = testsupport::decodeArchive(bytes);
    ASSERT_EQ(decoded.local.size(), 2u);
    EXPECT_EQ(decoded.local[0].method, 0);
    EXPECT_EQ(decoded.local[0].flags, 0x0000);
    EXPECT_EQ(decoded.local[0].compressedSize, 0u);
    EXPECT_EQ(decoded.local[0].uncompressedSize, 0u);
    EXPECT_EQ(decoded.local[0].crc, 0u);
    EXPECT_EQ(decoded.local[1].method, 8);
    EXPECT_EQ(decoded.local[1].flags, 0x0002);
    EXPECT_EQ(decoded.local[1].uncompressedSize, 0u);
    EXPECT_EQ(decoded.local[1].crc, 0u);
    // The codec's empty final block: a fixed-Huffman block holding only the end code.
    const Bytes emptyBlock = {0x03, 0x00};
    EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(decoded.local[1].dataOffset),
                    bytes.begin() + static_cast<std::ptrdiff_t>(decoded.local[1].dataOffset +
                                                                decoded.local[1].compressedSize)),
              emptyBlock);
}

TEST_F(ArchiveWriter, ExternalAttributesFollowWritePermissionAndTheExecutableProbe)
{
    const std::string plain = source("plain", "plain");
    const std::string readOnly = source("readonly", "read only");
    ASSERT_TRUE(platform::SetReadOnlyAttributes(readOnly));
    // An "MZ" stub whose header offset at 0x3C points at "PE\0\0" inside the file.
    Bytes program(256, 0);
    program[0] = 'M';
    program[1] = 'Z';
    program[0x3C] = 0x80;
    program[0x80] = 'P';
    program[0x81] = 'E';
    const std::string executable = source("program", program);
    Bytes stubOnly = program;
    stubOnly[0x3C] = 0xF0; // 0xF0 + 52 lies beyond the file: no header to look at
    const std::string notExecutable = source("stub", stubOnly);

    const Bytes bytes = pack({{"plain", plain},
                              {"readonly", readOnly},
                              {"program.exe", executable},
                              {"stub.exe", notExecutable}});
    const auto decoded = testsupport::decodeArchive(bytes);
    ASSERT_EQ(decoded.central.size(), 4u);
    EXPECT_EQ(decoded.central[0].externalAttributes, OrdinaryFileAttributes);
    EXPECT_EQ(decoded.central[1].externalAttributes, ReadOnlyFileAttributes);
    EXPECT_EQ(decoded.central[2].externalAttributes, OrdinaryFileAttributes | 0x00400000u);
    EXPECT_EQ(decoded.central[3].externalAttributes, OrdinaryFileAttributes);
}

struct TimeCase
{
    const char* label;
    std::int64_t modified; // seconds since 1970, UTC
    std::uint32_t expectedUt;
    std::uint16_t expectedDosDate;
    std::uint16_t expectedDosTime;
};

// In a zone three hours east of UTC: the DOS stamp carries the local wall clock; the "UT" time
// is the same instant, with its date held to 1970 ... 2037 and its time of day kept.
constexpr TimeCase TimeCases[] = {
    {"Ordinary", 1717237230, 1717237230, dosDate(2024, 6, 1), dosTime(13, 20, 30)},
    {"LocalDateIsTheNextDay", 1735684200, 1735684200, dosDate(2025, 1, 1), dosTime(1, 30, 0)},
    {"Before1970", -304781970, 37230, dosDate(1980, 1, 1), 0},
    {"After2037", 2529983168, 2145848768, dosDate(2050, 3, 4), dosTime(8, 6, 8)},
};

void PrintTo(const TimeCase& c, std::ostream* out)
{
    *out << c.label;
}

class ExtraFieldTimes : public testing::TestWithParam<TimeCase>
{};

TEST_P(ExtraFieldTimes, ShiftClampAndReadBackAsLocalStandardTime)
{
    const ScopedTimeZone zone("<+03>-3");
    TempDir dir;
    const std::string path = dir / "source";
    testsupport::writeFile(path, "x");
    ASSERT_TRUE(platform::SetFileTimes(path, {1577836800, 0}, {GetParam().modified, 0}));
    auto handle = zip::CreateArchive(dir / "out.zip");
    ASSERT_EQ(zip::AddFileToArchive(handle.get(), "x", path), zip::ArchiveOk);
    ASSERT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveOk);
    const auto decoded = testsupport::decodeArchive(testsupport::readFile(dir / "out.zip"));
    ASSERT_EQ(decoded.local.size(), 1u);
    const LocalTimes times = localTimesOf(decoded.local[0]);
    EXPECT_EQ(times.modification, GetParam().expectedUt);
    EXPECT_EQ(times.access, 1577836800u);
    EXPECT_EQ(decoded.local[0].dosDate, GetParam().expectedDosDate);
    EXPECT_EQ(decoded.local[0].dosTime, GetParam().expectedDosTime);
}

INSTANTIATE_TEST_SUITE_P(Times, ExtraFieldTimes, testing::ValuesIn(TimeCases),
                         [](const auto& info) { return std::string(info.param.label); });

// A handle of the reading kind, as the archive reader makes them.
class ReadingHandle : public zip::ArchiveHandle
{
public:
    ReadingHandle() : ArchiveHandle(zip::ReadingHandleKind) {}
};

TEST_F(ArchiveWriter, RefusesBadArgumentsAndForeignHandles)
{
    const std::string path = source("a", "a");
    EXPECT_EQ(zip::AddFileToArchive(nullptr, "a", path), zip::ArchiveBadArgument);
    EXPECT_EQ(zip::FinishArchive(nullptr), zip::ArchiveBadArgument);
    ReadingHandle reading;
    EXPECT_EQ(zip::AddFileToArchive(&reading, "a", path), zip::ArchiveWrongHandle);
    EXPECT_EQ(zip::FinishArchive(std::make_unique<ReadingHandle>()), zip::ArchiveWrongHandle);

    auto handle = zip::CreateArchive(archive);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "", path), zip::ArchiveBadArgument);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), std::string(65536, 'n'), path),
              zip::ArchiveBadArgument);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "a", path), zip::ArchiveOk);
    EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveOk);
    EXPECT_EQ(testsupport::decodeArchive(testsupport::readFile(archive)).central.size(), 1u);
}

TEST_F(ArchiveWriter, CannotCreateTheArchiveInAMissingFolder)
{
    EXPECT_EQ(zip::CreateArchive(dir / "missing/out.zip"), nullptr);
    EXPECT_FALSE(platform::PathExists(dir / "missing"));
}

TEST_F(ArchiveWriter, ReplacesAnExistingArchiveFile)
{
    testsupport::writeFile(archive, std::string(1000, 'o'));
    EXPECT_EQ(pack({}).size(), 22u);
}

TEST_F(ArchiveWriter, SourceThatCannotBeOpenedLeavesTheArchiveUsable)
{
    const std::string first = source("first", "first");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto handle = zip::CreateArchive(archive);
    ASSERT_EQ(zip::AddFileToArchive(handle.get(), "first", first), zip::ArchiveOk);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "missing", dir / "missing"),
              zip::ArchiveCannotOpenFile);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "fifo", fifo), zip::ArchiveCannotOpenFile);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "second", first), zip::ArchiveOk);
    ASSERT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveOk);
    const auto decoded = testsupport::decodeArchive(testsupport::readFile(archive));
    ASSERT_EQ(decoded.central.size(), 2u);
    EXPECT_EQ(decoded.central[1].name, "second");
}

TEST_F(ArchiveWriter, HandleDroppedUnfinishedLeavesNoFile)
{
    const std::string path = source("a", "a");
    {
        auto handle = zip::CreateArchive(archive);
        ASSERT_EQ(zip::AddFileToArchive(handle.get(), "a", path), zip::ArchiveOk);
        ASSERT_TRUE(platform::PathExists(archive));
    }
    EXPECT_FALSE(platform::PathExists(archive));
}

TEST_F(ArchiveWriter, WriteFailureDuringDataRemovesTheArchive)
{
    const std::string big = source("big", testsupport::noise(600000, 9));
    const std::string small = source("small", "small");
    auto handle = zip::CreateArchive(archive);
    ASSERT_EQ(zip::AddFileToArchive(handle.get(), "small", small), zip::ArchiveOk);
    {
        const ScopedFileSizeLimit limit(100000);
        EXPECT_EQ(zip::AddFileToArchive(handle.get(), "big.png", big), zip::ArchiveWriteFailed);
    }
    // The archive's bytes no longer match its records: nothing more goes in, and it goes away.
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "later", small), zip::ArchiveWriteFailed);
    EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveWriteFailed);
    EXPECT_FALSE(platform::PathExists(archive));
}

TEST_F(ArchiveWriter, WriteFailureInTheCentralDirectoryRemovesTheArchive)
{
    const std::string path = source("a", testsupport::noise(5000, 10));
    auto handle = zip::CreateArchive(archive);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(zip::AddFileToArchive(handle.get(), "entry" + std::to_string(i) + ".zip", path),
                  zip::ArchiveOk);
    const auto written = platform::FileSize(archive);
    ASSERT_TRUE(written);
    const ScopedFileSizeLimit limit(static_cast<rlim_t>(*written + 100)); // one header fits
    EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveWriteFailed);
    EXPECT_FALSE(platform::PathExists(archive));
}

TEST_F(ArchiveWriter, RefusesASourceOfFourGibibytes)
{
    const std::string huge = dir / "huge.zip";
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, 0x100000000LL) == 0; // sparse: takes no disk space
    ::close(fd);
    if (!sized)
        GTEST_SKIP() << "the file system cannot hold a 4 GiB sparse file";
    const std::string small = source("small", "small");
    auto handle = zip::CreateArchive(archive);
    ASSERT_EQ(zip::AddFileToArchive(handle.get(), "small", small), zip::ArchiveOk);
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "huge.zip", huge), zip::ArchiveWriteFailed);
    EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveWriteFailed);
    EXPECT_FALSE(platform::PathExists(archive));
}

TEST_F(ArchiveWriter, RefusesMoreEntriesThanTheEndRecordCounts)
{
    // 65535 (0xFFFF) would be read as "see the ZIP64 record"; 65534 is the most it takes.
    const std::string empty = source("empty", "");
    auto handle = zip::CreateArchive(archive);
    for (int i = 0; i < 65534; ++i)
        ASSERT_EQ(zip::AddFileToArchive(handle.get(), std::to_string(i) + ".gz", empty),
                  zip::ArchiveOk)
            << i;
    EXPECT_EQ(zip::AddFileToArchive(handle.get(), "one-too-many.gz", empty),
              zip::ArchiveWriteFailed);
    EXPECT_EQ(zip::FinishArchive(std::move(handle)), zip::ArchiveWriteFailed);
    EXPECT_FALSE(platform::PathExists(archive));
}

} // namespace
