#include "platform/single_instance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

SingleInstanceLock::SingleInstanceLock(const std::string& name)
{
    // The system folder rather than $TMPDIR, so that every session of the machine agrees.
    const std::string path = "/tmp/" + name + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) {
        (void)::fchmod(fd, 0666); // past the umask, so that every user of the machine can lock it
    } else if (errno == EACCES) {
        // Another user made the file; a lock needs no write access, so reading will do.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0)
        return;
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
