#pragma once

#include "certificates/TrustStore.h"
#include "http/HttpRequestOptions.h"
#include "http/HttpResult.h"
#include "http/StoreWarmUp.h"
#include "http/TransferResults.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

typedef void CURL;
typedef void CURLM;

// The one thread that runs every transfer of the process, on one libcurl multi handle driven by
// epoll: handshakes (and the first reading of the trust store, which libcurl then keeps for
// every later handshake of this multi handle) never hold up the thread that asked for them. It
// starts with the first client and ends with the last. Before the first https transfer that
// trusts a bundle, the bundle is read (StoreWarmUp), so no check's duration includes reading it.
//
// Requests come in batches from the clients' threads; results go back in batches, posted to
// each client, so completions run on the client's own thread as before.
class TransferThread {
public:
    struct Request {
        quint64 number = 0;
        QByteArray url;
        HttpRequestOptions options;
        std::chrono::milliseconds deadline{0};
        TrustStore trust;
        std::shared_ptr<TransferResults> results;
        // Only the handshake, trusting and checking nothing, for the server's certificate.
        bool certificateOnly = false;
    };

    // The thread every client of this process shares; started on first use.
    static std::shared_ptr<TransferThread> shared();
    ~TransferThread();
    TransferThread(const TransferThread &) = delete;
    TransferThread &operator=(const TransferThread &) = delete;

    void start(std::vector<Request> requests);
    // Drops the requests of `results`' client numbered up to `last`, waiting or running; none of
    // them reports. Later requests are not touched, even those already on their way.
    void cancel(const std::shared_ptr<TransferResults> &results, quint64 last);

private:
    struct Transfer;

    TransferThread();
    void run();
    void wake();
    void takeInbox();
    void startWaiting();
    bool waitsForStore(const Transfer &transfer);
    void collectFinished();
    void report(const Transfer &transfer, HttpResult result);
    void postResults();
    void drop(const TransferResults *results, quint64 last);
    std::unique_ptr<Transfer> prepare(Request request) const;
    void watchSocket(int fd, int what, bool known);
    int timeoutMs() const;

    static size_t readBody(char *data, size_t size, size_t count, void *transfer);
    static int socketCallback(CURL *easy, int fd, int what, void *thread, void *known);
    static int timerCallback(CURLM *multi, long timeoutMs, void *thread);

    // Shared with the clients' threads.
    std::mutex inboxMutex_;
    std::vector<Request> inbox_;
    std::vector<std::pair<std::shared_ptr<TransferResults>, quint64>> cancelled_;
    std::atomic<bool> stopping_{false};

    // The thread's own.
    int epoll_ = -1;
    int wakeFd_ = -1;
    CURLM *multi_ = nullptr;
    std::optional<std::chrono::steady_clock::time_point> curlDue_;
    // Results not yet handed over, and when they are due to be: a client hears of a burst of
    // answers a few at a time, not with a wake-up each (every one taking a core from the
    // transfers and the servers they talk to).
    std::vector<std::tuple<std::shared_ptr<TransferResults>, quint64, HttpResult>> unposted_;
    std::optional<std::chrono::steady_clock::time_point> postDue_;
    std::optional<std::chrono::steady_clock::time_point> nextStarts_; // when more may start
    std::deque<std::unique_ptr<Transfer>> waiting_;
    StoreWarmUp warmUp_;
    std::optional<TrustStore> storeRead_; // what the cache holds, or was tried
    std::chrono::steady_clock::time_point storeReadAt_;
    std::unordered_map<CURL *, std::unique_ptr<Transfer>> running_;
    std::thread thread_;
};
