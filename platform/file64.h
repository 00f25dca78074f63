// CFile64: one owned POSIX file descriptor with 64-bit offsets.
// The exclusive input open refuses a file that another process holds a lock on, and keeps a
// shared lock of its own while open, so cooperating writers leave the input alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <system_error>

namespace platform {

// How Create treats a target that exists already.
enum class CreateMode
{
    NewOnly,  // fail with EEXIST; never replaces anything (O_EXCL)
    Truncate, // replace the contents of an existing regular file
};

class CFile64
{
public:
    CFile64() = default;
    ~CFile64();
    CFile64(const CFile64&) = delete;
    CFile64& operator=(const CFile64&) = delete;
    CFile64(CFile64&& other) noexcept;
    CFile64& operator=(CFile64&& other) noexcept;

    // Opens an existing regular file read-only with no sharing: fails when another open file
    // description holds a flock or a POSIX/OFD record lock on it, and otherwise holds shared
    // locks of both kinds until Close. Directories, devices and FIFOs are refused.
    [[nodiscard]] bool OpenExclusiveRead(const std::string& path);
    // Opens an existing regular file read-only, sharing it with everyone.
    [[nodiscard]] bool OpenRead(const std::string& path);
    // Creates a file for reading and writing with the given permission bits (before umask).
    [[nodiscard]] bool Create(const std::string& path, CreateMode mode,
                              unsigned permissions = 0666);

    void Close() noexcept;
    // Closes a file that was written and reports whether the close (the last chance for the
    // system to report a failed write) succeeded.
    [[nodiscard]] bool CloseChecked();
    [[nodiscard]] bool IsOpen() const noexcept { return m_hFile >= 0; }
    [[nodiscard]] int Descriptor() const noexcept { return m_hFile; }
    // The error of the last failed call on this object.
    [[nodiscard]] const std::error_code& LastError() const noexcept { return m_lastError; }

    [[nodiscard]] std::optional<std::int64_t> Size();
    // Moves the file pointer; false (pointer unchanged) for a negative offset or a failure.
    [[nodiscard]] bool Seek(std::int64_t offset);
    [[nodiscard]] std::optional<std::int64_t> Tell();
    // Reads up to buffer.size() bytes at the file pointer, retrying short reads until the
    // buffer is full or the file ends. Returns the byte count (0 at the end), nullopt on error.
    [[nodiscard]] std::optional<std::size_t> Read(std::span<std::uint8_t> buffer);
    // As Read, at an absolute offset; the file pointer does not move.
    [[nodiscard]] std::optional<std::size_t> ReadAt(std::int64_t offset,
                                                    std::span<std::uint8_t> buffer);
    // Writes all bytes at the file pointer; false (with LastError) when any could not be written.
    [[nodiscard]] bool Write(std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes);

    int m_hFile = -1;

private:
    bool fail(int error);
    std::error_code m_lastError;
};

} // namespace platform
