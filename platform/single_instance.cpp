#include "platform/single_instance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

SingleInstanceLock::SingleInstanceLock(const std::string& name)
{
    // The system folder rather than $TMPDIR, so that every session of the machine agrees.
    const std::string path = "/tmp/" + name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        m_alreadyRunning = errno == EACCES; // another user's instance owns the file
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_alreadyRunning = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    m_fd = fd;
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace platform
