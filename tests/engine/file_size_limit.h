#pragma once

#include <csignal>
#include <sys/resource.h>

namespace brisquel::test {

// While it lives, files of this process may hold only so many bytes: a full disk that also
// stops root. Writes past it fail with "File too large".
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
            return;
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isSet() const { return m_set; }
    void lift()
    {
        if (m_set)
            setrlimit(RLIMIT_FSIZE, &m_saved);
        m_set = false;
    }

private:
    rlimit m_saved{};
    bool m_set = false;
};

} // namespace brisquel::test
