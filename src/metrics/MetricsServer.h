#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <chrono>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A deliberately small HTTP/1.1 server on the Qt loop for one read-only document: GET and HEAD
// of /metrics. Everything about it is bounded, since it may face a network: the request head
// (8 KiB), the connections open at once, and how long a connection may take to send its request.
// Each answer closes its connection. Nothing here waits: reading, answering and writing all
// happen as the loop delivers the sockets' events, between checks.
class MetricsServer : public QObject {
    Q_OBJECT
public:
    using Document = std::function<QByteArray()>;

    static constexpr qsizetype maxRequestBytes = 8 * 1024;
    static constexpr int defaultMaxConnections = 16;
    static constexpr std::chrono::milliseconds requestDeadline{10000};

    MetricsServer(Document document, QObject *parent = nullptr);
    ~MetricsServer() override;

    // Starts listening; false (and why in `error`) when the address cannot be bound.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    void setMaxConnections(int count) { maxConnections_ = count; }
    int openConnections() const { return open_; }

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &body, bool withBody,
                const QByteArray &extraHeaders = {});

    Document document_;
    QTcpServer *server_;
    int maxConnections_ = defaultMaxConnections;
    int open_ = 0;
};
