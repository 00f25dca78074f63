// Files and directories on POSIX and std::filesystem: existence, copy, delete, attributes,
// times, directory creation, removal and listing, the current directory and the temp folder.
// Nothing here follows a symbolic link unless it says so; folders carry a trailing separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {

inline constexpr char PathSeparator = '/';

// Appends the separator unless the text already ends with one (or is empty).
[[nodiscard]] std::string WithTrailingSeparator(std::string folder);
// The text after the last separator; the whole text when there is none.
[[nodiscard]] std::string FileNameOf(std::string_view path);
// The text up to and including the last separator; empty when there is none.
[[nodiscard]] std::string FolderOf(std::string_view path);

// True when anything, a file, a directory or a link (even a dangling one), has this path.
[[nodiscard]] bool PathExists(const std::string& path);
[[nodiscard]] bool IsDirectory(const std::string& path);   // a real directory, not a link
[[nodiscard]] bool IsRegularFile(const std::string& path); // a real file, not a link
[[nodiscard]] std::optional<std::int64_t> FileSize(const std::string& path);

// Removes a file or a link (never what a link points to).
bool DeleteFile(const std::string& path);

// Copies a regular file with its permission bits and modification time. With failIfExists the
// target is created with O_EXCL, so nothing that exists is ever replaced; otherwise an existing
// regular file is replaced. A target left incomplete by a failed copy is removed.
[[nodiscard]] bool CopyFile(const std::string& from, const std::string& to, bool failIfExists,
                            std::error_code* error = nullptr);

// "Normal" sets the owner write bit, "read-only" clears every write bit. Links are left alone.
bool SetNormalAttributes(const std::string& path);
bool SetReadOnlyAttributes(const std::string& path);
[[nodiscard]] std::optional<bool> IsReadOnly(const std::string& path);

struct FileTime
{
    std::int64_t seconds = 0;      // since 1970-01-01 00:00 UTC
    std::uint32_t nanoseconds = 0; // below one second
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

struct FileTimes
{
    FileTime access;
    FileTime modification;
    FileTime creation; // the birth time where the file system keeps one, else the change time
};

[[nodiscard]] std::optional<FileTimes> GetFileTimes(const std::string& path);
[[nodiscard]] std::optional<FileTimes> GetFileTimes(int descriptor);
bool SetFileTimes(const std::string& path, FileTime access, FileTime modification);

bool CreateDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);

struct DirectoryEntry
{
    std::string name;
    bool isDirectory = false; // a real directory; a link to one is not
    bool isSymlink = false;
};

// The entries of a directory, "." and ".." left out, in no particular order. Returns nullopt
// when the directory cannot be opened or read to its end.
[[nodiscard]] std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& path);

// True when a regular file lies anywhere below path (links are not followed).
[[nodiscard]] bool ContainsRegularFile(const std::string& path);

// The current directory with a trailing separator; empty when it cannot be read.
[[nodiscard]] std::string CurrentDirectory();
// $TMPDIR when set and not empty, else the system's temp folder, with a trailing separator.
[[nodiscard]] std::string TempFolder();

} // namespace platform
