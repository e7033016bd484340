#include "LoopbackServer.h"

#include "LoopbackHosts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr char response[] = "HTTP/1.1 200 OK\r\n"
                            "Content-Type: text/plain\r\n"
                            "Content-Length: 3\r\n"
                            "Connection: close\r\n"
                            "\r\n"
                            "ok\n";
constexpr std::size_t responseLength = sizeof response - 1;
// Anything longer is not one of the benchmark's requests.
constexpr std::size_t maxRequestBytes = 16 * 1024;
constexpr int portAttempts = 20;

std::string failure(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

timespec monotonicTimespec(std::chrono::steady_clock::time_point at) {
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch());
    timespec when = {};
    when.tv_sec = time_t(since.count() / 1000000000);
    when.tv_nsec = long(since.count() % 1000000000);
    return when;
}
} // namespace

LoopbackServer::LoopbackServer(int hostCount, std::chrono::milliseconds slowDelay,
                               std::unique_ptr<ServerTls> tls)
    : hostCount_(hostCount)
    , slowDelay_(slowDelay)
    , tls_(std::move(tls)) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    // std::chrono::steady_clock is CLOCK_MONOTONIC, so deadlines can be handed over as they are.
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

LoopbackServer::~LoopbackServer() {
    for (int fd = 0; fd < int(slots_.size()); ++fd)
        if (slots_[fd] == Slot::Reading || slots_[fd] == Slot::Waiting)
            closeConnection(fd);
    closeListeners();
    if (timer_ >= 0)
        close(timer_);
    if (epoll_ >= 0)
        close(epoll_);
}

void LoopbackServer::closeListeners() {
    for (int fd : listeners_) {
        close(fd);
        slots_[fd] = Slot::Unused;
    }
    listeners_.clear();
}

bool LoopbackServer::watch(int fd, Slot slot) {
    if (fd >= int(slots_.size())) {
        slots_.resize(fd + 1, Slot::Unused);
        requests_.resize(fd + 1);
        hostOf_.resize(fd + 1, -1);
        sessions_.resize(fd + 1, nullptr);
        writing_.resize(fd + 1, false);
    }
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0)
        return false;
    slots_[fd] = slot;
    return true;
}

int LoopbackServer::listen(std::string &error) {
    if (epoll_ < 0 || timer_ < 0) {
        error = failure("epoll or timerfd");
        return 0;
    }
    // The port is picked by the kernel for the first address; another program may hold it on one
    // of the others, and then the whole set is tried again on a new port.
    for (int attempt = 0; attempt < portAttempts; ++attempt) {
        closeListeners();
        std::uint16_t port = 0;
        bool taken = false;
        for (int i = 0; i < hostCount_ && !taken; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                error = failure("socket");
                return 0;
            }
            // Earlier runs leave TIME_WAIT entries on these addresses.
            const int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in address = {};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(LoopbackHosts::address(i));
            if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
                const int bindError = errno;
                close(fd);
                if (bindError == EADDRINUSE && i > 0) {
                    taken = true;
                    continue;
                }
                errno = bindError;
                error = failure(("bind " + LoopbackHosts::dotted(i)).c_str());
                return 0;
            }
            if (i == 0) {
                socklen_t length = sizeof address;
                getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
                port = ntohs(address.sin_port);
            }
            if (::listen(fd, 128) != 0 || !watch(fd, Slot::Listener)) {
                error = failure("listen");
                close(fd);
                return 0;
            }
            listeners_.push_back(fd);
            hostOf_[fd] = i;
        }
        if (!taken)
            return port;
    }
    error = "no port was free on every loopback address";
    return 0;
}

bool LoopbackServer::run(std::chrono::seconds lifetime, std::string &error) {
    const Clock::time_point end = Clock::now() + lifetime;
    if (!watch(timer_, Slot::Unused)) {
        error = failure("epoll_ctl");
        return false;
    }
    // Input that cannot be polled (a file, /dev/null) leaves the lifetime as the only stop.
    if (!watch(STDIN_FILENO, Slot::Unused) && errno != EPERM) {
        error = failure("epoll_ctl");
        return false;
    }
    epoll_event events[256];
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            std::fprintf(stderr, "tarvik_bench_server: lifetime over, stopping\n");
            return true;
        }
        const int count = epoll_wait(epoll_, events, 256, int(std::min<long>(left.count(), 1000)));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            error = failure("epoll_wait");
            return false;
        }
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == STDIN_FILENO) {
                if (!readControl())
                    return true;
            } else if (fd == timer_) {
                answerDue();
            } else if (slots_[fd] == Slot::Listener) {
                if (!acceptFrom(fd, error))
                    return false;
            } else if (slots_[fd] == Slot::Reading) {
                // Over TLS the handshake may wait for room to write as well as for data.
                readFrom(fd);
            }
        }
    }
}

bool LoopbackServer::acceptFrom(int listener, std::string &error) {
    for (;;) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EINTR)
                return true;
            error = failure("accept4");
            return false;
        }
        if (!watch(fd, Slot::Reading)) {
            error = failure("epoll_ctl");
            close(fd);
            return false;
        }
        ++open_;
        if (tls_) {
            sessions_[fd] = tls_->accept(fd, hostOf_[listener]);
            if (!sessions_[fd]) {
                closeConnection(fd);
                continue;
            }
        }
        peak_ = std::max(peak_, open_);
    }
}

long LoopbackServer::receive(int fd, char *buffer, std::size_t size) {
    SSL *session = sessions_[fd];
    if (!session) {
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return 0;
        return got > 0 ? long(got) : -1;
    }
    const int got = SSL_read(session, buffer, int(size));
    if (got > 0) {
        wantWrite(fd, false);
        return got;
    }
    switch (SSL_get_error(session, got)) {
    case SSL_ERROR_WANT_READ:
        wantWrite(fd, false);
        return 0;
    case SSL_ERROR_WANT_WRITE:
        wantWrite(fd, true);
        return 0;
    default:
        return -1;
    }
}

void LoopbackServer::wantWrite(int fd, bool want) {
    if (writing_[fd] == want)
        return;
    epoll_event event = {};
    event.events = want ? EPOLLIN | EPOLLOUT : EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
    writing_[fd] = want;
}

void LoopbackServer::readFrom(int fd) {
    char buffer[4096];
    const long got = receive(fd, buffer, sizeof buffer);
    if (got == 0)
        return;
    if (got < 0) {
        closeConnection(fd);
        return;
    }
    std::string &request = requests_[fd];
    request.append(buffer, std::size_t(got));
    if (request.find("\r\n\r\n") == std::string::npos) {
        if (request.size() > maxRequestBytes)
            closeConnection(fd);
        return;
    }
    const bool slow = request.starts_with("GET /slow ");
    request.clear();
    if (!slow) {
        answer(fd);
        return;
    }
    // Nothing more is expected from the client until the answer is due.
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    slots_[fd] = Slot::Waiting;
    waiting_.emplace_back(Clock::now() + slowDelay_, fd);
    if (waiting_.size() == 1)
        armTimer();
}

void LoopbackServer::answer(int fd) {
    // A fresh socket's send buffer always takes the whole answer at once.
    if (SSL *session = sessions_[fd]) {
        if (SSL_write(session, response, int(responseLength)) == int(responseLength)) {
            ++served_;
            SSL_shutdown(session); // says the answer is complete; the reply is not awaited
        }
    } else if (send(fd, response, responseLength, MSG_NOSIGNAL) == ssize_t(responseLength)) {
        ++served_;
    }
    closeConnection(fd);
}

void LoopbackServer::answerDue() {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t got = read(timer_, &expirations, sizeof expirations);
    const Clock::time_point now = Clock::now();
    while (!waiting_.empty() && waiting_.front().first <= now) {
        answer(waiting_.front().second);
        waiting_.pop_front();
    }
    if (!waiting_.empty())
        armTimer();
}

void LoopbackServer::armTimer() {
    itimerspec when = {};
    when.it_value = monotonicTimespec(waiting_.front().first);
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &when, nullptr);
}

bool LoopbackServer::readControl() {
    char buffer[256];
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    control_.append(buffer, std::size_t(got));
    for (std::size_t end; (end = control_.find('\n')) != std::string::npos;) {
        const std::string line = control_.substr(0, end);
        control_.erase(0, end + 1);
        if (line == "stats") {
            std::printf("stats served=%ld peak=%ld\n", served_, peak_);
            std::fflush(stdout);
            served_ = 0;
            peak_ = open_;
        }
    }
    return true;
}

void LoopbackServer::closeConnection(int fd) {
    SSL_free(sessions_[fd]);
    sessions_[fd] = nullptr;
    writing_[fd] = false;
    close(fd);
    slots_[fd] = Slot::Unused;
    requests_[fd].clear();
    --open_;
}
