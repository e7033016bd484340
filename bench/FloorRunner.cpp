#include "FloorRunner.h"

#include "BenchFailure.h"
#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

FloorRunner::FloorRunner(std::string program, std::string workDir)
    : program_(std::move(program))
    , workDir_(std::move(workDir)) {}

std::string FloorRunner::writeUrls(const std::string &name,
                                   const std::vector<std::string> &urls) const {
    const std::string path = workDir_ + "/" + name + ".urls";
    std::ofstream file(path);
    for (const std::string &url : urls)
        file << url << '\n';
    if (!file.flush())
        throw BenchFailure("cannot write " + path);
    return path;
}

RoundResult FloorRunner::run(const std::string &urlFile, const std::string &caFile, int expected,
                             std::chrono::seconds limit) const {
    const std::string out = urlFile + ".out";
    const std::string err = urlFile + ".err";
    ChildProcess child;
    RoundResult result;
    const auto started = std::chrono::steady_clock::now();
    {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int errors = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const bool opened = in >= 0 && output >= 0 && errors >= 0;
        if (opened)
            child.start({program_, urlFile, caFile}, in, output, errors);
        for (int fd : {in, output, errors})
            if (fd >= 0)
                close(fd);
        if (!opened)
            throw BenchFailure("cannot open the floor's output: " + std::string(strerror(errno)));
    }
    const auto exit = child.wait(limit);
    result.wall = std::chrono::steady_clock::now() - started;
    if (!exit)
        throw BenchFailure("the floor program overran and was killed");
    if (!WIFEXITED(exit->status) || WEXITSTATUS(exit->status) != 0) {
        std::ifstream why(err);
        std::string line;
        std::getline(why, line);
        throw BenchFailure("the floor program failed: " + line);
    }
    std::ifstream written(out);
    for (std::string line; std::getline(written, line);) {
        std::istringstream fields(line);
        if (line.starts_with("cpu ")) {
            double ms = 0;
            fields.ignore(4) >> ms;
            result.cpu = std::chrono::nanoseconds(static_cast<long long>(ms * 1e6));
            continue;
        }
        int status = 0;
        double seconds = 0.0;
        if (!(fields >> status >> seconds) || status != 200)
            throw BenchFailure("the floor program reported \"" + line + "\"");
        result.seconds.push_back(seconds);
    }
    if (int(result.seconds.size()) != expected)
        throw BenchFailure("the floor program reported " + std::to_string(result.seconds.size()) +
                           " transfers, not " + std::to_string(expected));
    return result;
}
