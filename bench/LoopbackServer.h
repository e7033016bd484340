#pragma once

#include "ServerTls.h"

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The benchmark's HTTP/1.1 server: one listener per loopback address, all on one port. Every
// answer is a tiny 200 that closes its connection; a request for /slow is answered only after
// the configured delay, counted from the moment its headers arrived. One thread on epoll, so its
// own cost stays small and it never competes with itself for the second core.
//
// With TLS every listener speaks https instead, each with a certificate for its own address (see
// ServerTls); the rest is the same.
//
// It is steered through stdin: the line "stats" is answered on stdout with the requests served
// and the most connections open at once since the last "stats"; end of input stops it.
class LoopbackServer {
public:
    // `tls` (may be null) makes every listener speak https.
    LoopbackServer(int hostCount, std::chrono::milliseconds slowDelay,
                   std::unique_ptr<ServerTls> tls = nullptr);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    // Binds every listener on one shared port and returns it; 0 with `error` set on failure.
    int listen(std::string &error);
    // Serves until stdin ends or `lifetime` has passed; false with `error` set when it had to
    // stop for any other reason.
    bool run(std::chrono::seconds lifetime, std::string &error);

private:
    using Clock = std::chrono::steady_clock;
    enum class Slot : unsigned char { Unused, Listener, Reading, Waiting };

    void closeListeners();
    bool watch(int fd, Slot slot);
    bool acceptFrom(int listener, std::string &error);
    void readFrom(int fd);
    // How much of the request arrived: over TLS the handshake moves on too. Negative when the
    // connection is over.
    long receive(int fd, char *buffer, std::size_t size);
    void wantWrite(int fd, bool want);
    void answer(int fd);
    void answerDue();
    void armTimer();
    bool readControl();
    void closeConnection(int fd);

    int hostCount_;
    std::chrono::milliseconds slowDelay_;
    int epoll_ = -1;
    int timer_ = -1;
    std::vector<int> listeners_;
    std::unique_ptr<ServerTls> tls_;
    std::vector<Slot> slots_;                               // by descriptor
    std::vector<int> hostOf_;                               // by listener descriptor
    std::vector<SSL *> sessions_;                           // by descriptor, with TLS
    std::vector<bool> writing_;                             // by descriptor: EPOLLOUT asked
    std::vector<std::string> requests_;                     // by descriptor: bytes read so far
    std::deque<std::pair<Clock::time_point, int>> waiting_; // due in order: the delay is fixed
    std::string control_;
    long served_ = 0;
    long open_ = 0;
    long peak_ = 0;
};
