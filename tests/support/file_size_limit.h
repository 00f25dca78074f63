// Lowers the largest file this process may write, so that writes past the limit fail with EFBIG
// as they would on a full disk; the limit and the SIGXFSZ handling come back on destruction.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // fail the write instead of the process
        if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            return;
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_set)
            (void)::setrlimit(RLIMIT_FSIZE, &m_old);
        (void)std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    [[nodiscard]] bool IsSet() const { return m_set; }

private:
    rlimit m_old = {};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

} // namespace testsupport
