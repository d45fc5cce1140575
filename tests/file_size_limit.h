// A write that fails part way, as on a full disk: while the guard lives, no
// file of the process may grow beyond the given size (RLIMIT_FSIZE), and a
// write beyond it fails with EFBIG instead of raising SIGXFSZ.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

class FILE_SIZE_LIMIT
{
public:
    explicit FILE_SIZE_LIMIT(rlim_t bytes)
    {
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &m_saved), 0);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FILE_SIZE_LIMIT()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FILE_SIZE_LIMIT(const FILE_SIZE_LIMIT&) = delete;
    FILE_SIZE_LIMIT& operator=(const FILE_SIZE_LIMIT&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};
