#include "platform/file_system.h"

#include "platform/file64.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t CopyBufferSize = 65536;

std::optional<struct stat> linkStatus(const std::string& path)
{
    struct stat info = {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return info;
}

std::optional<FileTimes> timesFromStatx(int dirfd, const char* path, int flags)
{
    struct statx info = {};
    if (::statx(dirfd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return std::nullopt;
    auto convert = [](const struct statx_timestamp& ts) {
        return FileTime{static_cast<std::int64_t>(ts.tv_sec), ts.tv_nsec};
    };
    FileTimes times;
    times.access = convert(info.stx_atime);
    times.modification = convert(info.stx_mtime);
    times.creation =
        (info.stx_mask & STATX_BTIME) ? convert(info.stx_btime) : convert(info.stx_ctime);
    return times;
}

bool changeWriteBits(const std::string& path, bool writable)
{
    const auto info = linkStatus(path);
    if (!info || S_ISLNK(info->st_mode))
        return false;
    mode_t mode = info->st_mode & 07777;
    mode = writable ? (mode | S_IWUSR) : (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
    return ::chmod(path.c_str(), mode) == 0;
}

} // namespace

std::string WithTrailingSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != PathSeparator)
        folder.push_back(PathSeparator);
    return folder;
}

std::string FileNameOf(std::string_view path)
{
    const auto at = path.rfind(PathSeparator);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string FolderOf(std::string_view path)
{
    const auto at = path.rfind(PathSeparator);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

bool PathExists(const std::string& path)
{
    return linkStatus(path).has_value();
}

bool IsDirectory(const std::string& path)
{
    const auto info = linkStatus(path);
    return info && S_ISDIR(info->st_mode);
}

bool IsRegularFile(const std::string& path)
{
    const auto info = linkStatus(path);
    return info && S_ISREG(info->st_mode);
}

std::optional<std::int64_t> FileSize(const std::string& path)
{
    const auto info = linkStatus(path);
    if (!info || !S_ISREG(info->st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(info->st_size);
}

bool DeleteFile(const std::string& path)
{
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists,
              std::error_code* error)
{
    auto report = [error](int code) {
        if (error)
            *error = std::error_code(code, std::generic_category());
        return false;
    };
    CFile64 source;
    if (!source.OpenRead(from))
        return report(source.LastError().value());
    struct stat info = {};
    if (::fstat(source.Descriptor(), &info) != 0)
        return report(errno);

    if (!failIfExists) {
        // Replacing is allowed for a regular file only; a link or directory there stays.
        const auto existing = linkStatus(to);
        if (existing && !S_ISREG(existing->st_mode))
            return report(EEXIST);
        if (existing && ::unlink(to.c_str()) != 0)
            return report(errno);
    }
    CFile64 target;
    if (!target.Create(to, CreateMode::NewOnly, (info.st_mode & 07777) | S_IWUSR))
        return report(target.LastError().value());

    std::array<std::uint8_t, CopyBufferSize> buffer;
    for (;;) {
        const auto got = source.Read(buffer);
        if (!got || (*got > 0 && !target.Write(std::span(buffer.data(), *got)))) {
            const int code = got ? target.LastError().value() : source.LastError().value();
            target.Close();
            (void)::unlink(to.c_str()); // we created it, so the partial copy is ours to remove
            return report(code);
        }
        if (*got == 0)
            break;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)::futimens(target.Descriptor(), times); // a copy with the time of copying is still a copy
    (void)::fchmod(target.Descriptor(), info.st_mode & 07777);
    if (!target.CloseChecked()) {
        (void)::unlink(to.c_str());
        return report(target.LastError().value());
    }
    return true;
}

bool SetNormalAttributes(const std::string& path)
{
    return changeWriteBits(path, true);
}

bool SetReadOnlyAttributes(const std::string& path)
{
    return changeWriteBits(path, false);
}

std::optional<bool> IsReadOnly(const std::string& path)
{
    const auto info = linkStatus(path);
    if (!info)
        return std::nullopt;
    return (info->st_mode & S_IWUSR) == 0;
}

std::optional<FileTimes> GetFileTimes(const std::string& path)
{
    return timesFromStatx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
}

std::optional<FileTimes> GetFileTimes(int descriptor)
{
    return timesFromStatx(descriptor, "", AT_EMPTY_PATH);
}

bool SetFileTimes(const std::string& path, FileTime access, FileTime modification)
{
    const struct timespec times[2] = {
        {static_cast<time_t>(access.seconds), static_cast<long>(access.nanoseconds)},
        {static_cast<time_t>(modification.seconds), static_cast<long>(modification.nanoseconds)}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool CreateDirectory(const std::string& path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveDirectory(const std::string& path)
{
    return !path.empty() && ::rmdir(path.c_str()) == 0;
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& path)
{
    std::error_code ec;
    fs::directory_iterator it(path, ec);
    if (ec)
        return std::nullopt;
    std::vector<DirectoryEntry> entries;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            return std::nullopt;
        const auto status = it->symlink_status(ec);
        if (ec)
            return std::nullopt;
        entries.push_back(
            {it->path().filename().string(), fs::is_directory(status), fs::is_symlink(status)});
    }
    if (ec)
        return std::nullopt;
    return entries;
}

bool ContainsRegularFile(const std::string& path)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            return true;
    }
    return false;
}

std::string CurrentDirectory()
{
    std::error_code ec;
    const auto current = fs::current_path(ec);
    return ec ? std::string() : WithTrailingSeparator(current.string());
}

std::string TempFolder()
{
    const char* fromEnvironment = std::getenv("TMPDIR");
    if (fromEnvironment && *fromEnvironment)
        return WithTrailingSeparator(fromEnvironment);
    std::error_code ec;
    const auto system = fs::temp_directory_path(ec);
    return WithTrailingSeparator(ec ? std::string("/tmp") : system.string());
}

} // namespace platform
