#pragma once

#include <csignal>

#include <sys/resource.h>

// Lowers one resource limit of this process for a scope and restores it after; each test case
// runs in its own process, so nothing leaks into another case either way.
class ProcessLimit {
public:
    ProcessLimit(int resource, rlim_t soft)
        : resource_(resource) {
        ::getrlimit(resource_, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ::setrlimit(resource_, &lowered);
    }
    ~ProcessLimit() { ::setrlimit(resource_, &saved_); }
    ProcessLimit(const ProcessLimit &) = delete;
    ProcessLimit &operator=(const ProcessLimit &) = delete;

private:
    int resource_;
    rlimit saved_ = {};
};

// Files may grow to `bytes` and no further: writes past it fail as on a full disk (EFBIG rather
// than the signal that would end the process).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
        : previous_(std::signal(SIGXFSZ, SIG_IGN))
        , limit_(RLIMIT_FSIZE, bytes) {}
    ~FileSizeLimit() { std::signal(SIGXFSZ, previous_); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    void (*previous_)(int);
    ProcessLimit limit_;
};
