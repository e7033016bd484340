#pragma once

#include "certificates/ServerCertificate.h"
#include "certificates/TrustStore.h"
#include "http/HttpFailure.h"
#include "http/HttpPhases.h"
#include "http/HttpRequestOptions.h"
#include "http/HttpResult.h"
#include "http/TransferThread.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One-shot GET (or HEAD) requests. The transfers themselves run on the process's transfer thread
// (see TransferThread), so no handshake, name lookup or trust store reading ever holds up the
// thread that owns the client; every completion runs on that thread, from its event loop. Each
// request uses a fresh connection and a fresh name lookup, follows at most 10 redirects (http and
// https only) unless told not to, and ends by its deadline. Requests name the program
// ("Tarvik/<version>"), accept anything and offer compression: many sites refuse a request
// without a User-Agent. What a request may ask beyond that is in HttpRequestOptions.
class HttpClient : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const HttpResult &)>;

    // A server's own certificate, or why it could not be read.
    struct CertificateReading {
        std::optional<ServerCertificate> certificate;
        QString error; // a short reason when there is no certificate; empty otherwise
    };
    using CertificateCompletion = std::function<void(const CertificateReading &)>;

    static constexpr std::chrono::milliseconds defaultDeadline{30000};
    // Transfers start at most this many a millisecond (a thousand in 40 ms). Started all at once,
    // a thousand connections and name lookups queue up in the kernel and at the servers: on
    // loopback a round of 1000 hosts then took a third longer and a quarter more CPU, and each
    // check read a few milliseconds slower.
    static constexpr int batchSize = 25;

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Starts a request for `url`, a GET unless `options` ask otherwise; `done` runs exactly once,
    // from the event loop, unless the client is destroyed or abortAll() is called first. Requests
    // made in one turn of the loop leave together when it next runs.
    void get(const QByteArray &url, Completion done);
    void get(const QByteArray &url, const HttpRequestOptions &options, Completion done);

    // Reads the certificate the server of the https address `url` presents, for a person to
    // decide whether to trust it: the handshake alone, with nothing of the certificate checked
    // (neither who signed it, nor its name, nor its dates) and no request sent. `done` runs as a
    // request's completion does; abortAll() drops it too.
    void readCertificate(const QByteArray &url, CertificateCompletion done);

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
    void enqueue(const QByteArray &url, const HttpRequestOptions &options, bool certificateOnly,
                 Completion done);
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
