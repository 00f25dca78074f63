// The archive reader on archives built in the test: finding the end record, the result codes of
// each operation, the entry record, and extraction with its three ways for data to end.
#include "platform/file_system.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "zip/archive_reader.h"
#include "zip/dos_time.h"
#include "zip/le_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <unistd.h>

namespace {

using testsupport::Bytes;
using testsupport::TempDir;
using testsupport::ZipBuilder;
using testsupport::ZipEntry;

const Bytes Text = [] {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "<draw:frame draw:id=\"" + std::to_string(i) + "\"/>\n";
    return testsupport::bytesOf(text);
}();

// Central-directory and end-record fields, counted from the start of each record.
constexpr std::size_t CentralCompressedSize = 20;
constexpr std::size_t CentralUncompressedSize = 24;
constexpr std::size_t EndRecordSize = 22;

class ArchiveReader : public testing::Test
{
protected:
    TempDir dir;
    std::string archive = dir / "a.zip";
    std::string target = dir / "out.bin";

    zip::ArchiveHandlePtr open(const Bytes& bytes)
    {
        testsupport::writeFile(archive, bytes);
        auto opened = zip::OpenArchive(archive);
        EXPECT_EQ(opened.result, zip::ArchiveOk);
        return std::move(opened.handle);
    }

    // Opens, describes and extracts entry 0 into target.
    zip::ArchiveResult extract(const Bytes& bytes, zip::UnzipReport* report = nullptr)
    {
        auto handle = open(bytes);
        if (!handle)
            return zip::ArchiveBadArgument;
        zip::ArchiveEntry entry;
        const auto described = zip::GetArchiveEntry(handle.get(), entry);
        const auto result = described == zip::ArchiveOk
                                ? zip::UnzipEntryToFile(handle.get(), target, report)
                                : described;
        EXPECT_EQ(zip::CloseArchiveReader(handle), zip::ArchiveOk);
        EXPECT_EQ(handle, nullptr);
        return result;
    }
};

TEST_F(ArchiveReader, DescribesAndExtractsTheFirstEntry)
{
    auto handle = open(ZipBuilder()
                           .add({.name = "Pictures/a.svg", .data = Text})
                           .add({.name = "second.txt", .data = testsupport::bytesOf("2")})
                           .build()
                           .bytes);
    ASSERT_NE(handle, nullptr);
    zip::ArchiveEntry entry;
    ASSERT_EQ(zip::GetArchiveEntry(handle.get(), entry), zip::ArchiveOk);
    EXPECT_EQ(entry.index, 0);
    EXPECT_EQ(entry.name, "Pictures/a.svg");
    EXPECT_EQ(entry.attributes, zip::AttributeNormal | zip::AttributeReadOnly);
    EXPECT_EQ(entry.compressedSize, testsupport::rawDeflate(Text).size());
    EXPECT_EQ(entry.uncompressedSize, Text.size());
    const std::int64_t dated = *zip::dosToUnixSeconds({0x5A21, 0x6000});
    EXPECT_EQ(entry.writeTime.seconds, dated);
    EXPECT_EQ(entry.accessTime.seconds, dated);
    EXPECT_EQ(entry.creationTime.seconds, dated);

    zip::UnzipReport report;
    ASSERT_EQ(zip::UnzipEntryToFile(handle.get(), target, &report), zip::ArchiveOk);
    EXPECT_EQ(testsupport::readFile(target), Text);
    EXPECT_EQ(report.end, zip::EntryEnd::Complete);
    EXPECT_EQ(report.closeResult, zip::ReaderOk);
    EXPECT_EQ(report.bytesWritten, Text.size());
    EXPECT_EQ(platform::IsReadOnly(target), true);
    EXPECT_EQ(platform::GetFileTimes(target)->modification.seconds, dated);
    EXPECT_EQ(zip::CloseArchiveReader(handle), zip::ArchiveOk);
}

TEST_F(ArchiveReader, ExtractsAStoredEntryBehindJunk)
{
    // Bytes in front of the archive shift every recorded offset; the end record tells by how much.
    const Bytes data = testsupport::noise(40000);
    ASSERT_EQ(extract(ZipBuilder()
                          .prefix(testsupport::noise(777, 3))
                          .add({.name = "p.png", .data = data, .method = 0})
                          .build()
                          .bytes),
              zip::ArchiveOk);
    EXPECT_EQ(testsupport::readFile(target), data);
}

struct CommentCase
{
    const char* name;
    std::size_t commentLength;
    bool found;
};

// The end record is looked for in the last 65535 bytes, in windows of 1028 bytes that step back
// 1024 at a time; a comment pushes it back from the end.
constexpr CommentCase Comments[] = {
    {"NoComment", 0, true},
    {"EndOfFirstWindow", 1024 - 22, true},
    {"AcrossTheWindowOverlap", 1024 - 20, true},
    {"InTheOverlapOnly", 1024 - 24 + 4, true},
    {"FarBack", 40000, true},
    {"LastPlaceSearched", 65535 - 22, true},
    {"OneBytePastTheSearch", 65535 - 21, false},
};

class EndRecordSearch : public ArchiveReader, public testing::WithParamInterface<CommentCase>
{};

TEST_P(EndRecordSearch, FindsTheEndRecordWithinTheLast65535Bytes)
{
    const auto& c = GetParam();
    Bytes bytes = ZipBuilder().add({.name = "a", .data = Text}).build().bytes;
    zip::writeLe16(bytes, bytes.size() - 2, static_cast<std::uint16_t>(c.commentLength));
    const Bytes comment(c.commentLength, 0x20);
    bytes.insert(bytes.end(), comment.begin(), comment.end());
    testsupport::writeFile(archive, bytes);
    const auto opened = zip::OpenArchive(archive);
    EXPECT_EQ(opened.result, c.found ? std::int32_t{zip::ArchiveOk} : zip::ReaderReadFailed);
    EXPECT_EQ(opened.handle != nullptr, c.found);
}

INSTANTIATE_TEST_SUITE_P(Comments, EndRecordSearch, testing::ValuesIn(Comments),
                         [](const auto& info) { return std::string(info.param.name); });

enum class OpenDamage
{
    MissingFile,
    NoEndRecord,
    EntriesOnDiskDifferFromTotal,
    DiskNumberNotZero,
    DirectoryDiskNotZero,
    DirectoryRunsPastTheEndRecord,
    EndRecordCutShort,
    OnlyAnEndRecord,
};

struct OpenCase
{
    const char* name;
    OpenDamage damage;
    std::int32_t result;
};

constexpr OpenCase Opens[] = {
    {"MissingFile", OpenDamage::MissingFile, zip::ArchiveCannotOpenFile},
    {"NoEndRecord", OpenDamage::NoEndRecord, zip::ReaderReadFailed},
    {"EntriesOnDiskDifferFromTotal", OpenDamage::EntriesOnDiskDifferFromTotal,
     zip::ReaderBadArchive},
    {"DiskNumberNotZero", OpenDamage::DiskNumberNotZero, zip::ReaderBadArchive},
    {"DirectoryDiskNotZero", OpenDamage::DirectoryDiskNotZero, zip::ReaderBadArchive},
    {"DirectoryRunsPastTheEndRecord", OpenDamage::DirectoryRunsPastTheEndRecord,
     zip::ReaderBadArchive},
    {"EndRecordCutShort", OpenDamage::EndRecordCutShort, zip::ReaderReadFailed},
    // An end record at offset 0 has always counted as none found.
    {"OnlyAnEndRecord", OpenDamage::OnlyAnEndRecord, zip::ReaderReadFailed},
};

class OpenResult : public ArchiveReader, public testing::WithParamInterface<OpenCase>
{};

TEST_P(OpenResult, ReportsWhyTheArchiveCannotBeOpened)
{
    const auto& c = GetParam();
    Bytes bytes = ZipBuilder().add({.name = "a", .data = Text}).build().bytes;
    const std::size_t end = bytes.size() - EndRecordSize;
    switch (c.damage) {
    case OpenDamage::MissingFile:
        break;
    case OpenDamage::NoEndRecord:
        bytes.resize(end);
        break;
    case OpenDamage::EntriesOnDiskDifferFromTotal:
        zip::writeLe16(bytes, end + 10, 2);
        break;
    case OpenDamage::DiskNumberNotZero:
        zip::writeLe16(bytes, end + 4, 1);
        break;
    case OpenDamage::DirectoryDiskNotZero:
        zip::writeLe16(bytes, end + 6, 1);
        break;
    case OpenDamage::DirectoryRunsPastTheEndRecord:
        zip::writeLe32(bytes, end + 12, zip::readLe32(bytes, end + 12).value() + 1);
        break;
    case OpenDamage::EndRecordCutShort:
        bytes.resize(end + 10);
        break;
    case OpenDamage::OnlyAnEndRecord:
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
        break;
    }
    if (c.damage != OpenDamage::MissingFile)
        testsupport::writeFile(archive, bytes);
    const auto opened = zip::OpenArchive(archive);
    EXPECT_EQ(opened.result, c.result);
    EXPECT_EQ(opened.handle, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Damage, OpenResult, testing::ValuesIn(Opens),
                         [](const auto& info) { return std::string(info.param.name); });

enum class EntryDamage
{
    None,
    LocalMethod12,
    LocalCompressedSizeDiffers,
    LocalSizesDifferWithFlagBit3,
    LocalNameLengthDiffers,
    DirectoryOffsetRecordedAsZero,
    CentralSignatureWrong,
    LocalExtraPastTheEnd,
    NoEntries,
};

struct EntryCase
{
    const char* name;
    EntryDamage damage;
    zip::ArchiveResult result;
};

constexpr EntryCase Entries[] = {
    {"Intact", EntryDamage::None, zip::ArchiveOk},
    {"LocalMethod12", EntryDamage::LocalMethod12, zip::ArchiveEntryMismatch},
    {"LocalCompressedSizeDiffers", EntryDamage::LocalCompressedSizeDiffers,
     zip::ArchiveEntryMismatch},
    {"LocalSizesDifferWithFlagBit3", EntryDamage::LocalSizesDifferWithFlagBit3, zip::ArchiveOk},
    {"LocalNameLengthDiffers", EntryDamage::LocalNameLengthDiffers, zip::ArchiveEntryMismatch},
    {"DirectoryOffsetRecordedAsZero", EntryDamage::DirectoryOffsetRecordedAsZero,
     zip::ArchiveEntryMismatch},
    {"CentralSignatureWrong", EntryDamage::CentralSignatureWrong, zip::ArchiveEntryMismatch},
    {"LocalExtraPastTheEnd", EntryDamage::LocalExtraPastTheEnd, zip::ArchiveExtraReadFailed},
    {"NoEntries", EntryDamage::NoEntries, zip::ArchiveBadArgument},
};

class EntryResult : public ArchiveReader, public testing::WithParamInterface<EntryCase>
{};

TEST_P(EntryResult, LocalHeaderMustAgreeWithTheDirectory)
{
    const auto& c = GetParam();
    ZipEntry entry{.name = "content.xml", .data = Text};
    switch (c.damage) {
    case EntryDamage::LocalMethod12:
        entry.method = 12;
        break;
    case EntryDamage::LocalCompressedSizeDiffers:
        entry.localCompressedSize = 5;
        break;
    case EntryDamage::LocalSizesDifferWithFlagBit3:
        entry.flags = 0x0008;
        entry.localCompressedSize = 5;
        entry.localCrc = 1;
        break;
    case EntryDamage::LocalNameLengthDiffers:
        entry.localNameLength = 10;
        break;
    default:
        break;
    }
    auto zip = ZipBuilder().prefix({1, 2, 3}).add(entry).build();
    Bytes& bytes = zip.bytes;
    const std::size_t central = zip.centralDirectoryOffset;
    const std::size_t end = bytes.size() - EndRecordSize;
    switch (c.damage) {
    case EntryDamage::LocalMethod12:
        zip::writeLe16(bytes, central + 10, 12); // the directory agrees; 12 is still refused
        break;
    case EntryDamage::DirectoryOffsetRecordedAsZero:
        zip::writeLe32(bytes, end + 16, 0);
        break;
    case EntryDamage::CentralSignatureWrong:
        bytes[central + 3] = 0x09;
        break;
    case EntryDamage::LocalExtraPastTheEnd:
        zip::writeLe16(bytes, zip.localHeaderOffsets[0] + 28, 0xFFFF);
        break;
    case EntryDamage::NoEntries:
        zip::writeLe16(bytes, end + 8, 0);
        zip::writeLe16(bytes, end + 10, 0);
        break;
    default:
        break;
    }
    auto handle = open(bytes);
    ASSERT_NE(handle, nullptr);
    zip::ArchiveEntry described;
    EXPECT_EQ(zip::GetArchiveEntry(handle.get(), described), c.result);
    EXPECT_EQ(zip::UnzipEntryToFile(handle.get(), target), c.result);
    EXPECT_EQ(platform::PathExists(target), c.result == zip::ArchiveOk);
    EXPECT_EQ(zip::CloseArchiveReader(handle), zip::ArchiveOk);
}

INSTANTIATE_TEST_SUITE_P(Damage, EntryResult, testing::ValuesIn(Entries),
                         [](const auto& info) { return std::string(info.param.name); });

class WritingHandle : public zip::ArchiveHandle
{
public:
    WritingHandle() : ArchiveHandle(zip::WritingHandleKind) {}
};

TEST(ArchiveReaderHandles, RefuseNoHandleAndWritingHandles)
{
    zip::ArchiveEntry entry;
    zip::ArchiveHandlePtr none;
    EXPECT_EQ(zip::GetArchiveEntry(nullptr, entry), zip::ArchiveBadArgument);
    EXPECT_EQ(zip::UnzipEntryToFile(nullptr, "x"), zip::ArchiveBadArgument);
    EXPECT_EQ(zip::CloseArchiveReader(none), zip::ArchiveBadArgument);

    zip::ArchiveHandlePtr writer = std::make_unique<WritingHandle>();
    EXPECT_EQ(zip::GetArchiveEntry(writer.get(), entry), zip::ArchiveWrongHandle);
    EXPECT_EQ(zip::UnzipEntryToFile(writer.get(), "x"), zip::ArchiveWrongHandle);
    EXPECT_EQ(zip::CloseArchiveReader(writer), zip::ArchiveWrongHandle);
    EXPECT_NE(writer, nullptr); // not the reader's to free
}

struct AttributeCase
{
    const char* name;
    std::uint32_t external;
    std::uint32_t attributes;
};

constexpr AttributeCase Attributes[] = {
    {"ZeroIsAReadOnlyFile", 0, 0x81},
    {"UnixWritableFile", 0100644u << 16, 0x80},
    {"UnixReadOnlyFile", 0100444u << 16, 0x81},
    {"DosReadOnlyWinsOverUnixWrite", (0100644u << 16) | 0x01, 0x81},
    {"UnixDirectory", 040755u << 16, 0x90},
    {"DosDirectory", (0100644u << 16) | 0x10, 0x90},
    {"DosArchiveHiddenSystem", (0100644u << 16) | 0x26, 0xA6},
};

class EntryAttributes : public ArchiveReader, public testing::WithParamInterface<AttributeCase>
{};

TEST_P(EntryAttributes, ComeFromTheExternalAttributes)
{
    const auto& c = GetParam();
    auto handle = open(ZipBuilder()
                           .add({.name = "f", .data = Text, .externalAttributes = c.external})
                           .build()
                           .bytes);
    zip::ArchiveEntry entry;
    ASSERT_EQ(zip::GetArchiveEntry(handle.get(), entry), zip::ArchiveOk);
    EXPECT_EQ(entry.attributes, c.attributes);
    (void)zip::CloseArchiveReader(handle);
}

INSTANTIATE_TEST_SUITE_P(External, EntryAttributes, testing::ValuesIn(Attributes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveReader, WritableEntryGivesAWritableFile)
{
    ASSERT_EQ(extract(ZipBuilder()
                          .add({.name = "f", .data = Text, .externalAttributes = 0100644u << 16})
                          .build()
                          .bytes),
              zip::ArchiveOk);
    EXPECT_EQ(platform::IsReadOnly(target), false);
}

// An extended-timestamp block: tag "UT", size, flags, then the 32-bit times the flags announce.
Bytes timestampBlock(std::uint8_t flags, std::initializer_list<std::uint32_t> times)
{
    Bytes block = {0x55, 0x54, 0, 0, flags};
    for (const std::uint32_t time : times)
        for (int i = 0; i < 4; ++i)
            block.push_back(static_cast<std::uint8_t>(time >> (8 * i)));
    zip::writeLe16(block, 2, static_cast<std::uint16_t>(block.size() - 4));
    return block;
}

TEST_F(ArchiveReader, TimestampBlockWithOneTimeChangesOnlyTheWriteTime)
{
    Bytes extra = {0x0A, 0x00, 0x02, 0x00, 0xEE, 0xEE}; // another block comes first
    const Bytes ut = timestampBlock(1, {1600000000});
    extra.insert(extra.end(), ut.begin(), ut.end());
    ASSERT_EQ(
        extract(ZipBuilder().add({.name = "f", .data = Text, .localExtra = extra}).build().bytes),
        zip::ArchiveOk);
    const auto times = platform::GetFileTimes(target);
    EXPECT_EQ(times->modification.seconds, 1600000000);
    EXPECT_EQ(times->access.seconds, *zip::dosToUnixSeconds({0x5A21, 0x6000}));
}

TEST_F(ArchiveReader, TimestampBlockGivesEveryTimeItAnnounces)
{
    auto handle =
        open(ZipBuilder()
                 .add({.name = "f",
                       .data = Text,
                       .localExtra = timestampBlock(7, {1600000000, 1500000000, 1400000000})})
                 .build()
                 .bytes);
    zip::ArchiveEntry entry;
    ASSERT_EQ(zip::GetArchiveEntry(handle.get(), entry), zip::ArchiveOk);
    EXPECT_EQ(entry.writeTime.seconds, 1600000000);
    EXPECT_EQ(entry.accessTime.seconds, 1500000000);
    EXPECT_EQ(entry.creationTime.seconds, 1400000000);
    (void)zip::CloseArchiveReader(handle);
}

TEST_F(ArchiveReader, TimestampBlockCutShortIsReadAsFarAsItGoes)
{
    Bytes extra = timestampBlock(3, {1600000000, 1500000000});
    zip::writeLe16(extra, 2, 7); // the block claims 7 bytes: the access time is cut
    extra.resize(11);
    auto handle =
        open(ZipBuilder().add({.name = "f", .data = Text, .localExtra = extra}).build().bytes);
    zip::ArchiveEntry entry;
    ASSERT_EQ(zip::GetArchiveEntry(handle.get(), entry), zip::ArchiveOk);
    EXPECT_EQ(entry.writeTime.seconds, 1600000000);
    EXPECT_EQ(entry.accessTime.seconds, *zip::dosToUnixSeconds({0x5A21, 0x6000}));
    (void)zip::CloseArchiveReader(handle);
}

// An archive whose entry inflates to the first half of Text and then meets a block of the
// reserved type 3, which no inflater accepts.
Bytes damagedStreamArchive()
{
    z_stream stream = {};
    EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes compressed(Text.size() + 1024);
    stream.next_in = const_cast<Bytef*>(Text.data());
    stream.avail_in = static_cast<uInt>(Text.size() / 2);
    stream.next_out = compressed.data();
    stream.avail_out = static_cast<uInt>(compressed.size());
    EXPECT_EQ(deflate(&stream, Z_FULL_FLUSH), Z_OK); // ends on a byte boundary
    compressed.resize(stream.total_out);
    deflateEnd(&stream);
    compressed.push_back(0x07); // final block, type 3
    compressed.resize(compressed.size() + 100, 0x00);

    // Stored by the builder, then relabelled as deflated data of the whole text.
    auto zip = ZipBuilder().add({.name = "content.xml", .data = compressed, .method = 0}).build();
    for (const std::size_t header : {zip.localHeaderOffsets[0], zip.centralDirectoryOffset}) {
        const std::size_t shift = header == zip.centralDirectoryOffset ? 2 : 0;
        zip::writeLe16(zip.bytes, header + 8 + shift, 8);
        zip::writeLe32(zip.bytes, header + 14 + shift, testsupport::crc32Of(Text));
        zip::writeLe32(zip.bytes, header + 22 + shift, static_cast<std::uint32_t>(Text.size()));
    }
    return zip.bytes;
}

enum class DataDamage
{
    StreamBrokenOff,
    DamagedStream,
    WrongCrc,
    SizesOnlyInADescriptor,
    SizeBelowTheData,
};

struct DataCase
{
    const char* name;
    DataDamage damage;
    zip::EntryEnd end;
    std::int32_t closeResult;
};

// Damaged data is no error for the extraction: the file keeps what came out of the entry.
constexpr DataCase DataEndings[] = {
    {"StreamBrokenOff", DataDamage::StreamBrokenOff, zip::EntryEnd::InputRanOut, zip::ReaderOk},
    {"DamagedStream", DataDamage::DamagedStream, zip::EntryEnd::DataError, zip::ReaderOk},
    {"WrongCrc", DataDamage::WrongCrc, zip::EntryEnd::Complete, zip::ReaderCrcMismatch},
    {"SizesOnlyInADescriptor", DataDamage::SizesOnlyInADescriptor, zip::EntryEnd::Complete,
     zip::ReaderOk},
    {"SizeBelowTheData", DataDamage::SizeBelowTheData, zip::EntryEnd::Complete,
     zip::ReaderCrcMismatch},
};

class DataEnding : public ArchiveReader, public testing::WithParamInterface<DataCase>
{};

TEST_P(DataEnding, KeepsWhatWasInflated)
{
    const auto& c = GetParam();
    const std::size_t compressed = testsupport::rawDeflate(Text).size();
    auto zip = ZipBuilder()
                   .add({.name = "content.xml",
                         .data = Text,
                         .dataDescriptor = c.damage == DataDamage::SizesOnlyInADescriptor})
                   .build();
    Bytes& bytes = zip.bytes;
    const std::size_t local = zip.localHeaderOffsets[0];
    const std::size_t central = zip.centralDirectoryOffset;
    auto setSize = [&](std::size_t field, std::uint32_t value) {
        zip::writeLe32(bytes, local + field - 2, value); // local sizes lie 2 bytes before
        zip::writeLe32(bytes, central + field, value);
    };
    std::size_t expected = Text.size();
    switch (c.damage) {
    case DataDamage::StreamBrokenOff:
        setSize(CentralCompressedSize, static_cast<std::uint32_t>(compressed / 2));
        expected = 0; // some prefix of the text
        break;
    case DataDamage::DamagedStream:
        bytes = damagedStreamArchive();
        expected = Text.size() / 2;
        break;
    case DataDamage::WrongCrc:
        zip::writeLe32(bytes, local + 14, 1);
        zip::writeLe32(bytes, central + 16, 1);
        break;
    case DataDamage::SizesOnlyInADescriptor:
        zip::writeLe32(bytes, central + 16, 0); // CRC-32 and sizes as the local header has them
        zip::writeLe32(bytes, central + CentralCompressedSize, 0);
        zip::writeLe32(bytes, central + CentralUncompressedSize, 0);
        expected = 0;
        break;
    case DataDamage::SizeBelowTheData:
        setSize(CentralUncompressedSize, 1000);
        expected = 1000;
        break;
    }
    zip::UnzipReport report;
    ASSERT_EQ(extract(bytes, &report), zip::ArchiveOk);
    EXPECT_EQ(report.end, c.end);
    EXPECT_EQ(report.closeResult, c.closeResult);
    const Bytes got = testsupport::readFile(target);
    EXPECT_EQ(report.bytesWritten, got.size());
    if (expected != 0)
        EXPECT_EQ(got.size(), expected);
    EXPECT_LE(got.size(), Text.size());
    EXPECT_TRUE(std::equal(got.begin(),
                           got.begin() +
                               static_cast<std::ptrdiff_t>(std::min<std::size_t>(got.size(), 2000)),
                           Text.begin()));
}

INSTANTIATE_TEST_SUITE_P(Damage, DataEnding, testing::ValuesIn(DataEndings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveReader, ReadOnlyExtractIsNeverReplaced)
{
    const Bytes bytes = ZipBuilder().add({.name = "f", .data = Text}).build().bytes;
    ASSERT_EQ(extract(bytes), zip::ArchiveOk);
    const Bytes other =
        ZipBuilder().add({.name = "f", .data = testsupport::bytesOf("new")}).build().bytes;
    EXPECT_EQ(extract(other), zip::ArchiveCannotOpenFile);
    EXPECT_EQ(testsupport::readFile(target), Text);
}

TEST_F(ArchiveReader, TargetThatCannotBeCreatedIsReported)
{
    const Bytes bytes = ZipBuilder().add({.name = "f", .data = Text}).build().bytes;
    target = dir / "missing/folder/out.bin";
    EXPECT_EQ(extract(bytes), zip::ArchiveCannotOpenFile);
}

TEST_F(ArchiveReader, LinkInTheTargetsPlaceIsNotFollowed)
{
    testsupport::writeFile(dir / "victim.txt", "keep");
    ASSERT_EQ(::symlink((dir / "victim.txt").c_str(), target.c_str()), 0);
    EXPECT_EQ(extract(ZipBuilder().add({.name = "f", .data = Text}).build().bytes),
              zip::ArchiveCannotOpenFile);
    EXPECT_EQ(testsupport::readText(dir / "victim.txt"), "keep");
}

TEST_F(ArchiveReader, FailedWriteIsReportedAndKeepsThePartialFile)
{
    const Bytes data = testsupport::noise(200000, 8);
    auto handle = open(ZipBuilder().add({.name = "big", .data = data}).build().bytes);
    ASSERT_NE(handle, nullptr);
    zip::ArchiveResult result = zip::ArchiveOk;
    {
        testsupport::FileSizeLimit limit(50000);
        ASSERT_TRUE(limit.IsSet());
        result = zip::UnzipEntryToFile(handle.get(), target);
    }
    EXPECT_EQ(result, zip::ArchiveWriteFailed);
    EXPECT_EQ(zip::CloseArchiveReader(handle), zip::ArchiveOk);
    const Bytes got = testsupport::readFile(target);
    EXPECT_EQ(got.size(), 50000u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
}

} // namespace
