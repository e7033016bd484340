#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A child program whose end can be awaited with a bound and whose resource use comes back with
// its exit status, so its CPU time is its own and nobody else's.
class ChildProcess {
public:
    struct Exit {
        int status = 0; // as from waitpid
        rusage usage = {};
    };

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts `argv` (the program is looked up on PATH) with the given descriptors as its stdin,
    // stdout and stderr; throws BenchFailure when it cannot be started.
    void start(const std::vector<std::string> &argv, int in, int out, int err);
    // Waits for the child to end; once `limit` has passed it is killed and nothing is returned.
    std::optional<Exit> wait(std::chrono::milliseconds limit);
    bool running() const { return pid_ > 0; }

private:
    void kill();

    pid_t pid_ = -1;
    int pidfd_ = -1;
};
