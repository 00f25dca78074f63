// A machine-wide "only one copy runs" lock: an flock on a file in the system temp folder,
// held for as long as the object lives. The kernel drops it when the process dies.
#pragma once

#include <string>

namespace platform {

class SingleInstanceLock
{
public:
    // Tries to take the lock named by name (a file name without separators).
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock (or the lock file cannot be opened).
    [[nodiscard]] bool IsHeld() const noexcept { return m_fd >= 0; }
    // True when the lock failed because another process holds it.
    [[nodiscard]] bool AlreadyRunning() const noexcept { return m_alreadyRunning; }

private:
    int m_fd = -1;
    bool m_alreadyRunning = false;
};

} // namespace platform
