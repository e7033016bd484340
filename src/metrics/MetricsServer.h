#pragma once

#include "metrics/MetricsRequest.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <chrono>
#include <functional>
#include <unordered_map>

class QTcpServer;
class QTcpSocket;

// A deliberately small HTTP/1.1 server on the Qt loop for one read-only document: GET and HEAD
// of /metrics. Everything about it is bounded, since it may face a network: the request head
// (8 KiB), the connections served at once, and how long a connection may take to send its
// request. Each answer closes its connection. Nothing here waits: reading, answering and writing
// all happen as the loop delivers the sockets' events, between checks.
//
// Slots: at most maxConnections connections are served at once. When all are taken, a new one
// takes the slot of the longest-waiting connection that has held one for idleGrace without
// sending a whole request (a scraper sends its request at once; one that trickles bytes is
// either broken or hostile); when there is none, the new one is answered 503 and closed.
class MetricsServer : public QObject {
    Q_OBJECT
public:
    using Document = std::function<QByteArray()>;

    static constexpr qsizetype maxRequestBytes = MetricsRequest::maxBytes;
    static constexpr int defaultMaxConnections = 16;
    static constexpr std::chrono::milliseconds requestDeadline{10000};
    static constexpr std::chrono::milliseconds defaultIdleGrace{2000};
    // After a failed accept (out of descriptors, say) the listener tries again this much later.
    static constexpr std::chrono::milliseconds acceptRetryDelay{200};

    MetricsServer(Document document, QObject *parent = nullptr);
    ~MetricsServer() override;

    // Starts listening; false (and why in `error`) when the address cannot be bound.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    void setMaxConnections(int count) { maxConnections_ = count; }
    void setIdleGrace(std::chrono::milliseconds grace) { idleGrace_ = grace; }
    // Connections holding a slot.
    int openConnections() const { return int(slots_.size()); }

private:
    struct Slot {
        qint64 since = 0; // ms on clock_
        bool requestRead = false;
    };

    void onConnection();
    void onReadable(QTcpSocket *socket);
    // Frees the slot of the longest-waiting connection past its grace; false when none is.
    bool freeIdleSlot();
    void answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &body, bool withBody,
                const QByteArray &extraHeaders = {});

    Document document_;
    QTcpServer *server_;
    int maxConnections_ = defaultMaxConnections;
    std::chrono::milliseconds idleGrace_ = defaultIdleGrace;
    QElapsedTimer clock_;
    std::unordered_map<QTcpSocket *, Slot> slots_;
};
