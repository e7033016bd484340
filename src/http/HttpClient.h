#pragma once

#include "http/HttpFailure.h"
#include "http/HttpPhases.h"
#include "http/HttpRequestOptions.h"
#include "http/HttpResult.h"
#include "http/TransferThread.h"
#include "http/TrustStore.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

// One-shot GET requests. The transfers themselves run on the process's transfer thread (see
// TransferThread), so no handshake, name lookup or trust store reading ever holds up the thread
// that owns the client; every completion runs on that thread, from its event loop. Each request
// uses a fresh connection and a fresh name lookup, follows at most 10 redirects (http and https
// only) and ends by its deadline. Requests name the program ("Tarvik/<version>"), accept anything
// and offer compression: many sites refuse a request without a User-Agent.
class HttpClient : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const HttpResult &)>;
    static constexpr std::chrono::milliseconds defaultDeadline{30000};
    // Transfers start at most this many a millisecond (a thousand in 40 ms). Started all at once,
    // a thousand connections and name lookups queue up in the kernel and at the servers: on
    // loopback a round of 1000 hosts then took a third longer and a quarter more CPU, and each
    // check read a few milliseconds slower.
    static constexpr int batchSize = 25;

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Starts a GET for `url`; `done` runs exactly once, from the event loop, unless the client is
    // destroyed or abortAll() is called first. Requests made in one turn of the loop leave
    // together when it next runs.
    void get(const QByteArray &url, Completion done);
    void get(const QByteArray &url, const HttpRequestOptions &options, Completion done);

    void setDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }
    std::chrono::milliseconds deadline() const { return deadline_; }

    // The authorities requests trust unless they name a bundle of their own; the system's, as
    // TrustStore chose them, unless replaced.
    void setTrust(const TrustStore &trust) { trust_ = trust; }
    const TrustStore &trust() const { return trust_; }

    // Transfers on the wire at once, from the descriptor limit in force: beyond it sockets
    // cannot be opened and healthy hosts would fail. Later requests wait in the queue.
    static constexpr long long reservedDescriptors = 64;
    static constexpr long long descriptorsPerTransfer = 4;
    static int transferLimit();

    // Requests started and not yet completed (queued or on the wire).
    int inFlight() const { return int(pending_.size()); }
    // Drops every request without running its completion (the machine is going to sleep and
    // their times would be wrong).
    void abortAll();
    static QByteArray userAgent();

private:
    void send();
    void deliver();

    std::shared_ptr<TransferThread> thread_;
    std::shared_ptr<TransferResults> results_;
    std::unordered_map<quint64, Completion> pending_;
    std::vector<TransferThread::Request> outgoing_;
    quint64 lastNumber_ = 0;
    std::chrono::milliseconds deadline_ = defaultDeadline;
    TrustStore trust_;
};
