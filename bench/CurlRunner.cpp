#include "CurlRunner.h"

#include "BenchFailure.h"
#include "ChildProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {
// An open descriptor that closes itself.
class Descriptor {
public:
    Descriptor(const std::string &path, int flags)
        : fd_(open(path.c_str(), flags | O_CLOEXEC, 0600)) {
        if (fd_ < 0)
            throw BenchFailure("cannot open " + path + ": " + std::strerror(errno));
    }
    ~Descriptor() { close(fd_); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::string firstLine(const std::string &path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The tool's own complaint when there is one, not the progress meter that may precede it.
std::string errorLine(const std::string &path) {
    std::ifstream in(path);
    std::string first;
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find("curl: (");
        if (at != std::string::npos)
            return line.substr(at);
        if (first.empty())
            first = line;
    }
    return first;
}

std::chrono::nanoseconds cpuTime(const rusage &usage) {
    using namespace std::chrono;
    return seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}
} // namespace

CurlRunner::CurlRunner(std::string program, std::string workDir)
    : program_(std::move(program))
    , workDir_(std::move(workDir)) {}

std::string CurlRunner::versionLine() const {
    const std::string out = workDir_ + "/version.out";
    ChildProcess child;
    {
        Descriptor in("/dev/null", O_RDONLY);
        Descriptor output(out, O_WRONLY | O_CREAT | O_TRUNC);
        child.start({program_, "--version"}, in.fd(), output.fd(), output.fd());
    }
    const auto exit = child.wait(std::chrono::seconds(10));
    if (!exit || !WIFEXITED(exit->status) || WEXITSTATUS(exit->status) != 0)
        throw BenchFailure(program_ + " --version failed");
    return firstLine(out);
}

std::string CurlRunner::writeConfig(const std::string &name,
                                    const std::vector<std::string> &urls) const {
    const std::string path = workDir_ + "/" + name + ".curlrc";
    std::ofstream config(path);
    for (const std::string &url : urls)
        config << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
    if (!config.flush())
        throw BenchFailure("cannot write " + path);
    return path;
}

RoundResult CurlRunner::run(const std::string &config, int expected, std::chrono::seconds limit,
                            const std::vector<std::string> &extra) const {
    const std::string out = config + ".out";
    const std::string err = config + ".err";
    // As close to the engine's requests as the tool allows: no ~/.curlrc, redirects followed
    // up to 10 times over http and https only, the same 30 s deadline, and no TCP keep-alive
    // probes (the tool turns them on, libcurl leaves them off). Connections are never reused
    // either way: every URL names a different address.
    std::vector<std::string> argv = {program_,
                                     "--disable",
                                     "--parallel",
                                     "--parallel-max",
                                     std::to_string(parallelMax),
                                     "--silent",
                                     "--show-error",
                                     "--no-keepalive",
                                     "--location",
                                     "--max-redirs",
                                     "10",
                                     "--proto",
                                     "=http,https",
                                     "--proto-redir",
                                     "=http,https",
                                     "--max-time",
                                     "30",
                                     "--write-out",
                                     "%{http_code} %{time_total}\\n",
                                     "--config",
                                     config};
    argv.insert(argv.end(), extra.begin(), extra.end());

    ChildProcess child;
    RoundResult result;
    const auto started = std::chrono::steady_clock::now();
    {
        Descriptor in("/dev/null", O_RDONLY);
        Descriptor output(out, O_WRONLY | O_CREAT | O_TRUNC);
        Descriptor errors(err, O_WRONLY | O_CREAT | O_TRUNC);
        child.start(argv, in.fd(), output.fd(), errors.fd());
    }
    const auto exit = child.wait(limit);
    result.wall = std::chrono::steady_clock::now() - started;
    if (!exit)
        throw BenchFailure("curl overran " + std::to_string(limit.count()) + " s and was killed");
    if (!WIFEXITED(exit->status) || WEXITSTATUS(exit->status) != 0)
        throw BenchFailure("curl failed: " + errorLine(err));
    result.cpu = cpuTime(exit->usage);

    std::ifstream written(out);
    std::string line;
    while (std::getline(written, line)) {
        std::istringstream fields(line);
        int status = 0;
        double seconds = 0.0;
        if (!(fields >> status >> seconds) || status != 200)
            throw BenchFailure("curl reported \"" + line + "\"");
        result.seconds.push_back(seconds);
    }
    if (int(result.seconds.size()) != expected)
        throw BenchFailure("curl reported " + std::to_string(result.seconds.size()) +
                           " transfers, not " + std::to_string(expected));
    return result;
}
