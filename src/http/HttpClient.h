#pragma once

#include "http/HttpFailure.h"
#include "http/HttpPhases.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

typedef void CURL;
typedef void CURLM;

// The outcome of one GET.
struct HttpResult {
    bool ok = false;           // no transport error and a status from 200 to 299
    double seconds = 0.0;      // libcurl's total time for the transfer
    std::optional<int> status; // the final HTTP status, when a response arrived
    QString error;             // why it failed; empty when ok
    QByteArray body;           // the body of a successful response, when the request kept it
    // Where the time went; present once an answer began to arrive.
    std::optional<HttpPhases> phases;
    // When the server's own (leaf) certificate runs out, for https answers.
    std::optional<QDateTime> certificateExpiry;
    HttpFailure failure = HttpFailure::None; // why it failed, sorted; None when ok
};

// What a request may ask beyond a host check. The defaults are exactly a host check: the body is
// read and thrown away, and http and https are both allowed.
struct HttpRequestOptions {
    // Enough for any document the program fetches; a longer answer is someone else's mistake or a
    // hostile server, and memory stays bounded either way.
    static constexpr qsizetype defaultMaxBodyBytes = 1024 * 1024;

    bool keepBody = false;
    // With keepBody, a body longer than this fails the request and nothing of it is kept.
    qsizetype maxBodyBytes = defaultMaxBodyBytes;
    // Refuses plain http for the request and for every redirect it follows.
    bool httpsOnly = false;
    // A PEM file of certificate authorities to trust instead of the system's; empty for the
    // system's.
    QByteArray caFile;
};

// One-shot GET requests on libcurl's multi interface, driven by the Qt event loop: socket
// notifiers and a single precise timer stand in for curl's own poll loop, so every completion
// runs on the thread that owns the client. Each request uses a fresh connection and a fresh name
// lookup, follows at most 10 redirects (http and https only) and ends by its deadline. Requests
// name the program ("Tarvik/<version>"), accept anything and offer compression: many sites refuse
// a request without a User-Agent.
class HttpClient : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const HttpResult &)>;
    static constexpr std::chrono::milliseconds defaultDeadline{30000};
    // Handles added in one loop turn; adding a thousand at once stalled the loop for ~60 ms.
    static constexpr int batchSize = 50;

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Starts a GET for `url`; `done` runs exactly once, from the event loop, unless the client is
    // destroyed first.
    void get(const QByteArray &url, Completion done);
    void get(const QByteArray &url, const HttpRequestOptions &options, Completion done);

    void setDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }
    std::chrono::milliseconds deadline() const { return deadline_; }

    // Transfers on the wire at once, from the descriptor limit in force: beyond it sockets
    // cannot be opened and healthy hosts would fail. Later requests wait in the queue.
    static constexpr long long reservedDescriptors = 64;
    static constexpr long long descriptorsPerTransfer = 4;
    static int transferLimit();

    // Requests started and not yet completed (queued or on the wire).
    int inFlight() const { return int(queued_.size() + running_.size()); }
    // Drops every request without running its completion (the machine is going to sleep and
    // their times would be wrong).
    void abortAll();
    static QByteArray userAgent();

private:
    struct Transfer;
    struct Socket;

    static int socketCallback(CURL *easy, int fd, int what, void *client, void *socketData);
    static int timerCallback(CURLM *multi, long timeoutMs, void *client);
    static size_t keepBody(char *data, size_t size, size_t count, void *transfer);

    void watchSocket(int fd, int what, Socket *socket);
    void socketAction(int fd, int events);
    void startQueued();
    void collectFinished();

    CURLM *multi_ = nullptr;
    QTimer curlTimer_;
    QTimer feedTimer_;
    std::chrono::milliseconds deadline_ = defaultDeadline;
    std::deque<std::unique_ptr<Transfer>> queued_;
    std::unordered_map<CURL *, std::unique_ptr<Transfer>> running_;
};
