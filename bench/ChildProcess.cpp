#include "ChildProcess.h"

#include "BenchFailure.h"

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char **environ;

ChildProcess::~ChildProcess() {
    kill();
}

void ChildProcess::start(const std::vector<std::string> &argv, int in, int out, int err) {
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw BenchFailure("cannot start " + argv[0] + ": " + std::strerror(spawned));
    pid_ = pid;
    // A descriptor for the process lets the wait be bounded without polling; the child may
    // already be a zombie here, which pidfd_open accepts.
    pidfd_ = int(syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd_ < 0) {
        const std::string reason = std::strerror(errno);
        kill();
        throw BenchFailure("pidfd_open: " + reason);
    }
}

std::optional<ChildProcess::Exit> ChildProcess::wait(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            kill();
            return std::nullopt;
        }
        pollfd ready = {pidfd_, POLLIN, 0};
        const int count = poll(&ready, 1, int(left.count()));
        if (count > 0)
            break;
        if (count < 0 && errno != EINTR) {
            kill();
            return std::nullopt;
        }
    }
    Exit exit;
    while (wait4(pid_, &exit.status, 0, &exit.usage) < 0 && errno == EINTR) {
    }
    close(pidfd_);
    pidfd_ = -1;
    pid_ = -1;
    return exit;
}

void ChildProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (pidfd_ >= 0)
        close(pidfd_);
    pid_ = -1;
    pidfd_ = -1;
}
