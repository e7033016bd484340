#include "TestHttpServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
QByteArray response(int status, const QByteArray &extraHeaders = {}) {
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: 2\r\n" + extraHeaders +
           "Connection: close\r\n\r\nok";
}

// An answer to HEAD is the same head without its body.
QByteArray forMethod(QTcpSocket *socket, const QByteArray &bytes) {
    if (!socket->property("head").toBool())
        return bytes;
    return bytes.left(bytes.indexOf("\r\n\r\n") + 4);
}

void sendAndClose(QTcpSocket *socket, const QByteArray &bytes) {
    socket->write(forMethod(socket, bytes));
    socket->disconnectFromHost();
}
} // namespace

TestHttpServer::TestHttpServer(QObject *parent)
    : TestHttpServer(new QTcpServer, "http", parent) {}

TestHttpServer::TestHttpServer(QTcpServer *server, const char *scheme, QObject *parent)
    : QObject(parent)
    , server_(server)
    , scheme_(scheme) {
    server_->setParent(this);
    server_->listen(QHostAddress::LocalHost);
    // A TLS server makes a connection pending only once its handshake is done.
    connect(server_, &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::onConnection);
}

bool TestHttpServer::isListening() const {
    return server_->isListening();
}

quint16 TestHttpServer::port() const {
    return server_->serverPort();
}

QString TestHttpServer::url(const QString &path) const {
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(QLatin1String(scheme_)).arg(port()).arg(path);
}

void TestHttpServer::onConnection() {
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        ++connections_;
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            onReadable(socket);
    }
}

void TestHttpServer::onReadable(QTcpSocket *socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    if (!buffer.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> lines = buffer.left(buffer.indexOf("\r\n\r\n")).split('\n');
    const QString path = QString::fromLatin1(lines.value(0).split(' ').value(1));
    lastMethod_ = lines.value(0).split(' ').value(0);
    socket->setProperty("head", lastMethod_ == "HEAD");
    lastHeaderNames_.clear();
    lastHeaders_.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
        lastHeaderNames_.append(name);
        lastHeaders_.insert(name, line.mid(line.indexOf(':') + 1).trimmed());
    }
    ++total_;
    ++requests_[path];
    answer(socket, path);
}

void TestHttpServer::answer(QTcpSocket *socket, const QString &path) {
    const QStringList parts = path.split(QLatin1Char('/'));
    const QString verb = parts.value(1);
    const QString arg = parts.value(2);
    if (verb == u"ok") {
        sendAndClose(socket, response(200));
    } else if (verb == u"gzip-garbage") {
        sendAndClose(socket, response(200, "Content-Encoding: gzip\r\n"));
    } else if (verb == u"status") {
        sendAndClose(socket, response(arg.toInt()));
    } else if (verb == u"delay") {
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(arg.toInt(), this, [guarded] {
            if (guarded)
                sendAndClose(guarded, response(200));
        });
    } else if (verb == u"hang") {
        // Keeps the connection open without a byte of answer.
    } else if (verb == u"trickle") {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
        drip->start(100);
    } else if (verb == u"redirect") {
        const int left = arg.toInt();
        if (left <= 0)
            sendAndClose(socket, response(200));
        else
            sendAndClose(socket, response(302, "Location: /redirect/" +
                                                   QByteArray::number(left - 1) + "\r\n"));
    } else if (verb == u"to") {
        sendAndClose(socket, response(302, "Location: " + arg.toLatin1() + "://127.0.0.1:" +
                                               QByteArray::number(port()) + "/ok\r\n"));
    } else if (verb == u"big-header") {
        sendAndClose(socket, response(200, "X-Big: " + QByteArray(arg.toInt(), 'a') + "\r\n"));
    } else if ((verb == u"body" || verb == u"unsized") && bodies_.contains(arg)) {
        const QByteArray body = bodies_.value(arg);
        const QByteArray length =
            verb == u"body" ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                            : QByteArray();
        sendAndClose(socket, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n" + length +
                                 "Connection: close\r\n\r\n" + body);
    } else if (verb == u"open" && bodies_.contains(arg)) {
        socket->write(forMethod(socket, "HTTP/1.1 200 OK\r\n\r\n" + bodies_.value(arg)));
    } else if (verb == u"halves" && bodies_.contains(arg)) {
        const QByteArray body = bodies_.value(arg);
        const QByteArray head =
            "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\nConnection: close\r\n\r\n";
        if (socket->property("head").toBool()) {
            sendAndClose(socket, head);
            return;
        }
        const qsizetype half = body.size() / 2;
        socket->write(head + body.left(half));
        socket->flush();
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(50, this, [guarded, rest = body.mid(half)] {
            if (!guarded)
                return;
            guarded->write(rest);
            guarded->disconnectFromHost();
        });
    } else if (verb == u"deflate" && bodies_.contains(arg)) {
        // qCompress puts the length before the zlib stream that "deflate" names.
        const QByteArray body = qCompress(bodies_.value(arg)).mid(4);
        sendAndClose(socket, "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " +
                                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                 body);
    } else {
        sendAndClose(socket, response(404));
    }
}
