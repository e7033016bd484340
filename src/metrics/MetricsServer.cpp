#include "metrics/MetricsServer.h"

#include "metrics/MetricsText.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr char answeredProperty[] = "tarvikAnswered";
} // namespace

MetricsServer::MetricsServer(Document document, QObject *parent)
    : QObject(parent)
    , document_(std::move(document))
    , server_(new QTcpServer(this)) {
    clock_.start();
    connect(server_, &QTcpServer::newConnection, this, &MetricsServer::onConnection);
    // Qt stops accepting after any failed accept but "try again". Out of descriptors (a burst of
    // connections) the listen queue would then fill and stay full for good while the checks go
    // on; so accepting resumes a moment later, by when descriptors have usually been freed.
    connect(server_, &QTcpServer::acceptError, this, [this] {
        QTimer::singleShot(acceptRetryDelay, this, [this] { server_->resumeAccepting(); });
    });
}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const QHostAddress &address, quint16 port, QString *error) {
    if (server_->listen(address, port))
        return true;
    if (error)
        *error = server_->errorString();
    return false;
}

quint16 MetricsServer::port() const {
    return server_->serverPort();
}

void MetricsServer::onConnection() {
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (int(slots_.size()) >= maxConnections_ && !freeIdleSlot()) {
            // Refused at once and cheaply: a flood of connections costs a short answer each and
            // never holds more than the limit open waiting for requests.
            answer(socket, QByteArrayLiteral("503 Service Unavailable"),
                   QByteArrayLiteral("too many connections\n"), true);
            continue;
        }
        slots_[socket] = Slot{clock_.elapsed(), false};
        connect(socket, &QObject::destroyed, this, [this, socket] { slots_.erase(socket); });
        // Qt stops reading from the network once this much waits unread, so a client pouring
        // bytes in holds no more than this in memory before it is answered.
        socket->setReadBufferSize(2 * maxRequestBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        // A client that never finishes its request (or never reads the answer) is dropped.
        QTimer::singleShot(requestDeadline, socket, [socket] { socket->abort(); });
    }
}

bool MetricsServer::freeIdleSlot() {
    const qint64 now = clock_.elapsed();
    auto oldest = slots_.end();
    for (auto it = slots_.begin(); it != slots_.end(); ++it)
        if (!it->second.requestRead && now - it->second.since >= idleGrace_.count() &&
            (oldest == slots_.end() || it->second.since < oldest->second.since))
            oldest = it;
    if (oldest == slots_.end())
        return false;
    QTcpSocket *idle = oldest->first;
    slots_.erase(oldest);
    idle->abort(); // disconnects, and so deletes itself
    return true;
}

void MetricsServer::onReadable(QTcpSocket *socket) {
    if (socket->property(answeredProperty).toBool()) {
        socket->readAll(); // whatever follows the request is ignored
        return;
    }
    const MetricsRequest::Reading reading =
        MetricsRequest::read(socket->peek(MetricsRequest::maxBytes));
    if (reading.verdict == MetricsRequest::Verdict::Incomplete)
        return; // wait for the rest of the head
    socket->read(reading.headBytes);
    const QByteArray status = MetricsRequest::statusLine(reading.verdict);
    switch (reading.verdict) {
    case MetricsRequest::Verdict::Incomplete:
        break;
    case MetricsRequest::Verdict::Serve:
        answer(socket, status, document_(), !reading.head,
               QByteArrayLiteral("Content-Type: ") + MetricsText::contentType + "\r\n");
        break;
    case MetricsRequest::Verdict::NotFound:
        answer(socket, status, QByteArrayLiteral("not found\n"), !reading.head);
        break;
    case MetricsRequest::Verdict::NotAllowed:
        answer(socket, status, QByteArrayLiteral("only GET and HEAD\n"), true,
               QByteArrayLiteral("Allow: GET, HEAD\r\n"));
        break;
    case MetricsRequest::Verdict::BadRequest:
        answer(socket, status, QByteArrayLiteral("bad request\n"), true);
        break;
    case MetricsRequest::Verdict::TooLarge:
        answer(socket, status, QByteArrayLiteral("request too large\n"), true);
        break;
    }
}

void MetricsServer::answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &body,
                           bool withBody, const QByteArray &extraHeaders) {
    socket->setProperty(answeredProperty, true);
    if (const auto slot = slots_.find(socket); slot != slots_.end())
        slot->second.requestRead = true;
    QByteArray response = QByteArrayLiteral("HTTP/1.1 ") + status + "\r\n" + extraHeaders;
    if (!extraHeaders.contains("Content-Type:"))
        response += "Content-Type: text/plain; charset=utf-8\r\n";
    response +=
        "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (withBody)
        response += body;
    socket->write(response);
    // Closes once everything is written; the socket then disconnects and deletes itself.
    socket->disconnectFromHost();
}
