// Decodes a finished ZIP archive one field at a time, strictly, for tests of what the writer
// made: the end record must close the file, the central headers must run from the recorded
// offset to the end record, and each local header must sit where its central header says.
// Anything else throws std::runtime_error with what was wrong and where.
#pragma once

#include "support/zip_builder.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

struct DecodedLocalHeader
{
    std::size_t offset = 0;     // of the signature
    std::size_t dataOffset = 0; // first byte after name and extra field
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::string name;
    Bytes extra;
};

struct DecodedCentralHeader
{
    std::size_t offset = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::string name;
    Bytes extra;
};

struct DecodedEndRecord
{
    std::size_t offset = 0;
    std::uint16_t diskNumber = 0;
    std::uint16_t directoryDisk = 0;
    std::uint16_t entriesOnDisk = 0;
    std::uint16_t entriesTotal = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t directoryOffset = 0;
    std::uint16_t commentLength = 0;
};

struct DecodedArchive
{
    std::vector<DecodedCentralHeader> central; // in directory order
    std::vector<DecodedLocalHeader> local;     // local[i] belongs to central[i]
    DecodedEndRecord end;
};

[[nodiscard]] DecodedArchive decodeArchive(std::span<const std::uint8_t> bytes);

// The uncompressed bytes of entry i (method 0 copied, method 8 inflated as raw deflate); throws
// when the data does not end exactly where the compressed size says.
[[nodiscard]] Bytes entryData(const DecodedArchive& archive, std::span<const std::uint8_t> bytes,
                              std::size_t index);

// True when python3 can be run; tests that use an independent reader skip without it.
[[nodiscard]] bool havePython();
// Checks the archive with python3's zipfile (every CRC-32 verified) and extracts it into
// outDir. Returns the script's exit status (0 on success).
[[nodiscard]] int pythonExtract(const std::string& archivePath, const std::string& outDir);
// Runs Info-ZIP's "unzip -tq"; returns its exit status, or -1 when unzip is missing.
[[nodiscard]] int unzipTest(const std::string& archivePath);

} // namespace testsupport
