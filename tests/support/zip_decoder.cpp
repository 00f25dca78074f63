#include "support/zip_decoder.h"

#include "zip/le_bytes.h"

#include <zlib.h>

#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>

namespace testsupport {

namespace {

constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndRecordSize = 22;

class FieldReader
{
public:
    FieldReader(std::span<const std::uint8_t> bytes, std::size_t at, const char* what)
        : m_bytes(bytes), m_at(at), m_what(what)
    {
    }
    std::uint16_t u16(std::size_t field) const
    {
        return check(zip::readLe16(m_bytes, m_at + field));
    }
    std::uint32_t u32(std::size_t field) const
    {
        return check(zip::readLe32(m_bytes, m_at + field));
    }
    Bytes take(std::size_t field, std::size_t count) const
    {
        const std::size_t from = m_at + field;
        if (from > m_bytes.size() || m_bytes.size() - from < count)
            fail("runs past the end of the file");
        return Bytes(m_bytes.begin() + static_cast<std::ptrdiff_t>(from),
                     m_bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
    }
    [[noreturn]] void fail(const std::string& why) const
    {
        throw std::runtime_error(std::string(m_what) + " at " + std::to_string(m_at) + ": " + why);
    }

private:
    template <typename T> T check(std::optional<T> value) const
    {
        if (!value)
            fail("field runs past the end of the file");
        return *value;
    }
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at;
    const char* m_what;
};

std::string textOf(const Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

int runShell(const std::string& command)
{
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

DecodedArchive decodeArchive(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < EndRecordSize)
        throw std::runtime_error("shorter than an end record");
    DecodedArchive archive;
    const std::size_t endAt = bytes.size() - EndRecordSize;
    const FieldReader end(bytes, endAt, "end record");
    if (end.u32(0) != zip::EndRecordSignature)
        end.fail("no end record signature in the last 22 bytes");
    archive.end = {endAt,       end.u16(4),  end.u16(6),  end.u16(8),
                   end.u16(10), end.u32(12), end.u32(16), end.u16(20)};
    if (archive.end.directoryOffset > endAt ||
        endAt - archive.end.directoryOffset != archive.end.directorySize)
        end.fail("the central directory does not end where the end record starts");

    std::size_t at = archive.end.directoryOffset;
    for (std::uint16_t i = 0; i < archive.end.entriesTotal; ++i) {
        const FieldReader header(bytes, at, "central header");
        if (header.u32(0) != zip::CentralHeaderSignature)
            header.fail("no central header signature");
        DecodedCentralHeader c;
        c.offset = at;
        c.versionMadeBy = header.u16(4);
        c.versionNeeded = header.u16(6);
        c.flags = header.u16(8);
        c.method = header.u16(10);
        c.dosTime = header.u16(12);
        c.dosDate = header.u16(14);
        c.crc = header.u32(16);
        c.compressedSize = header.u32(20);
        c.uncompressedSize = header.u32(24);
        const std::uint16_t nameLength = header.u16(28);
        const std::uint16_t extraLength = header.u16(30);
        c.commentLength = header.u16(32);
        c.diskNumberStart = header.u16(34);
        c.internalAttributes = header.u16(36);
        c.externalAttributes = header.u32(38);
        c.localHeaderOffset = header.u32(42);
        c.name = textOf(header.take(CentralHeaderSize, nameLength));
        c.extra = header.take(CentralHeaderSize + nameLength, extraLength);
        at += CentralHeaderSize + nameLength + extraLength + c.commentLength;
        archive.central.push_back(std::move(c));
    }
    if (at != endAt)
        throw std::runtime_error("the central headers end at " + std::to_string(at) +
                                 ", the end record starts at " + std::to_string(endAt));

    for (const auto& c : archive.central) {
        const FieldReader header(bytes, c.localHeaderOffset, "local header");
        if (header.u32(0) != zip::LocalHeaderSignature)
            header.fail("no local header signature");
        DecodedLocalHeader l;
        l.offset = c.localHeaderOffset;
        l.versionNeeded = header.u16(4);
        l.flags = header.u16(6);
        l.method = header.u16(8);
        l.dosTime = header.u16(10);
        l.dosDate = header.u16(12);
        l.crc = header.u32(14);
        l.compressedSize = header.u32(18);
        l.uncompressedSize = header.u32(22);
        const std::uint16_t nameLength = header.u16(26);
        const std::uint16_t extraLength = header.u16(28);
        l.name = textOf(header.take(LocalHeaderSize, nameLength));
        l.extra = header.take(LocalHeaderSize + nameLength, extraLength);
        l.dataOffset = l.offset + LocalHeaderSize + nameLength + extraLength;
        (void)header.take(LocalHeaderSize + nameLength + extraLength, l.compressedSize);
        archive.local.push_back(std::move(l));
    }
    return archive;
}

Bytes entryData(const DecodedArchive& archive, std::span<const std::uint8_t> bytes,
                std::size_t index)
{
    const auto& local = archive.local.at(index);
    const auto data = bytes.subspan(local.dataOffset, local.compressedSize);
    if (local.method == 0)
        return Bytes(data.begin(), data.end());
    if (local.method != 8)
        throw std::runtime_error("method " + std::to_string(local.method));
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK)
        throw std::runtime_error("inflateInit2");
    Bytes out;
    Bytes chunk(16384);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), chunk.begin(),
                   chunk.begin() + static_cast<std::ptrdiff_t>(chunk.size() - stream.avail_out));
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    const bool complete = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!complete)
        throw std::runtime_error("entry " + local.name + ": deflate data broken or with a tail");
    return out;
}

bool havePython()
{
    return runShell("python3 -c pass >/dev/null 2>&1") == 0;
}

int pythonExtract(const std::string& archivePath, const std::string& outDir)
{
    const std::string script = "import sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "bad = z.testzip()\n"
                               "if bad is not None: sys.exit(\"bad CRC: \" + bad)\n"
                               "z.extractall(sys.argv[2])\n";
    return runShell("python3 -c '" + script + "' '" + archivePath + "' '" + outDir + "'");
}

int unzipTest(const std::string& archivePath)
{
    if (runShell("command -v unzip >/dev/null 2>&1") != 0)
        return -1;
    return runShell("unzip -tq '" + archivePath + "' >/dev/null 2>&1");
}

} // namespace testsupport
