#pragma once

#include <csignal>
#include <sys/resource.h>

// A file-size limit for the time of one scope: writes beyond it fail with EFBIG (root too).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_normal);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_normal;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_normal); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_normal{};
};
