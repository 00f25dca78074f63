#include "platform/file64.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// True when any other open file description holds a record lock on some byte of the file.
// A write-lock probe conflicts with every read or write lock held elsewhere.
bool recordLockedElsewhere(int fd)
{
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file, however long
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0)
        return false; // the file system has no record locks: nothing can hold one
    return probe.l_type != F_UNLCK;
}

bool takeSharedRecordLock(int fd)
{
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return true;
    return errno == EINVAL || errno == ENOLCK || errno == EOPNOTSUPP;
}

} // namespace

CFile64::~CFile64()
{
    Close();
}

CFile64::CFile64(CFile64&& other) noexcept
    : m_hFile(std::exchange(other.m_hFile, -1)), m_lastError(other.m_lastError)
{
}

CFile64& CFile64::operator=(CFile64&& other) noexcept
{
    if (this != &other) {
        Close();
        m_hFile = std::exchange(other.m_hFile, -1);
        m_lastError = other.m_lastError;
    }
    return *this;
}

bool CFile64::fail(int error)
{
    m_lastError = std::error_code(error, std::generic_category());
    return false;
}

void CFile64::Close() noexcept
{
    if (m_hFile >= 0) {
        ::close(m_hFile); // closing releases our flock and OFD locks too
        m_hFile = -1;
    }
}

bool CFile64::CloseChecked()
{
    if (m_hFile < 0)
        return fail(EBADF);
    const int result = ::close(std::exchange(m_hFile, -1));
    return result == 0 || fail(errno);
}

bool CFile64::OpenRead(const std::string& path)
{
    Close();
    // O_NONBLOCK keeps a FIFO from hanging the open; it has no effect on regular files.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(errno);
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return fail(error);
    }
    m_hFile = fd;
    return true;
}

bool CFile64::OpenExclusiveRead(const std::string& path)
{
    if (!OpenRead(path))
        return false;
    // An exclusive flock succeeds only when no other open file description holds any flock;
    // it is then relaxed to a shared one so that readers that lock politely still can.
    if (::flock(m_hFile, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            Close();
            return fail(EBUSY);
        }
    } else if (::flock(m_hFile, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        Close();
        return fail(error);
    }
    if (recordLockedElsewhere(m_hFile) || !takeSharedRecordLock(m_hFile)) {
        Close();
        return fail(EBUSY);
    }
    return true;
}

bool CFile64::Create(const std::string& path, CreateMode mode, unsigned permissions)
{
    Close();
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    flags |= mode == CreateMode::NewOnly ? O_EXCL : O_TRUNC;
    const int fd = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
    if (fd < 0)
        return fail(errno);
    m_hFile = fd;
    return true;
}

std::optional<std::int64_t> CFile64::Size()
{
    struct stat info = {};
    if (m_hFile < 0)
        return fail(EBADF), std::nullopt;
    if (::fstat(m_hFile, &info) != 0)
        return fail(errno), std::nullopt;
    return static_cast<std::int64_t>(info.st_size);
}

bool CFile64::Seek(std::int64_t offset)
{
    if (offset < 0)
        return fail(EINVAL);
    if (::lseek(m_hFile, static_cast<off_t>(offset), SEEK_SET) < 0)
        return fail(errno);
    return true;
}

std::optional<std::int64_t> CFile64::Tell()
{
    const off_t at = ::lseek(m_hFile, 0, SEEK_CUR);
    if (at < 0)
        return fail(errno), std::nullopt;
    return static_cast<std::int64_t>(at);
}

std::optional<std::size_t> CFile64::Read(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::read(m_hFile, buffer.data() + done, buffer.size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno), std::nullopt;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::optional<std::size_t> CFile64::ReadAt(std::int64_t offset, std::span<std::uint8_t> buffer)
{
    if (offset < 0)
        return fail(EINVAL), std::nullopt;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(m_hFile, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno), std::nullopt;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool CFile64::Write(std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(m_hFile, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (put == 0)
            return fail(ENOSPC);
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool CFile64::WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    if (offset < 0)
        return fail(EINVAL);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(m_hFile, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (put == 0)
            return fail(ENOSPC);
        done += static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace platform
