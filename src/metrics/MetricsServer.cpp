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
    connect(server_, &QTcpServer::newConnection, this, &MetricsServer::onConnection);
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
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] { --open_; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (open_ > maxConnections_) {
            // Refused at once and cheaply: a flood of connections costs a short answer each and
            // never holds more than the limit open waiting for requests.
            answer(socket, QByteArrayLiteral("503 Service Unavailable"),
                   QByteArrayLiteral("too many connections\n"), true);
            continue;
        }
        // Qt stops reading from the network once this much waits unread, so a client pouring
        // bytes in holds no more than this in memory before it is answered.
        socket->setReadBufferSize(2 * maxRequestBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        // A client that never finishes its request (or never reads the answer) is dropped.
        QTimer::singleShot(requestDeadline, socket, [socket] { socket->abort(); });
    }
}

void MetricsServer::onReadable(QTcpSocket *socket) {
    if (socket->property(answeredProperty).toBool()) {
        socket->readAll(); // whatever follows the request is ignored
        return;
    }
    const QByteArray buffered = socket->peek(maxRequestBytes + 1);
    const qsizetype headEnd = buffered.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (buffered.size() > maxRequestBytes)
            answer(socket, QByteArrayLiteral("431 Request Header Fields Too Large"),
                   QByteArrayLiteral("request too large\n"), true);
        return; // wait for the rest of the head
    }
    socket->read(headEnd + 4);
    const QByteArray requestLine = buffered.left(buffered.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.")) {
        answer(socket, QByteArrayLiteral("400 Bad Request"), QByteArrayLiteral("bad request\n"),
               true);
        return;
    }
    const QByteArray &method = parts[0];
    const bool head = method == "HEAD";
    if (method != "GET" && !head) {
        answer(socket, QByteArrayLiteral("405 Method Not Allowed"),
               QByteArrayLiteral("only GET and HEAD\n"), true,
               QByteArrayLiteral("Allow: GET, HEAD\r\n"));
        return;
    }
    QByteArray path = parts[1];
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    if (path != "/metrics") {
        answer(socket, QByteArrayLiteral("404 Not Found"), QByteArrayLiteral("not found\n"), !head);
        return;
    }
    answer(socket, QByteArrayLiteral("200 OK"), document_(), !head,
           QByteArrayLiteral("Content-Type: ") + MetricsText::contentType + "\r\n");
}

void MetricsServer::answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &body,
                           bool withBody, const QByteArray &extraHeaders) {
    socket->setProperty(answeredProperty, true);
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
