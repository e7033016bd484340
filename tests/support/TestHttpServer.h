#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A real HTTP/1.1 server on 127.0.0.1, running on the test's own event loop (TestTlsServer is
// the same over TLS). Paths choose the behaviour:
//   /ok                      200
//   /status/N                status N
//   /delay/MS                200 after MS milliseconds
//   /hang                    reads the request and never answers
//   /trickle                 sends a status line, then one byte every 100 ms, forever
//   /redirect/N              302 to /redirect/N-1; /redirect/0 is 200
//   /gzip-garbage            200 claiming a gzip body that is not gzip
//   /to/SCHEME               302 to SCHEME://127.0.0.1/
//   /body/NAME               200 with the body served as NAME, with its Content-Length
//   /unsized/NAME            200 with the same body, no Content-Length: it ends when the
//                            connection closes
//   /open/NAME               200 with the same body, no Content-Length, and the connection kept
//                            open after it: the body never ends
//   /halves/NAME             200 with the same body in two writes 50 ms apart, split in the
//                            middle
//   /deflate/NAME            200 with the same body deflated ("Content-Encoding: deflate")
//   /big-header/N            200 with one header line of N bytes
// Anything else is 404. A HEAD request gets the same answer without its body.
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    explicit TestHttpServer(QObject *parent = nullptr);

    bool isListening() const;

    quint16 port() const;
    QString url(const QString &path) const;

    // Makes /body/NAME and /unsized/NAME answer with `body`.
    void serve(const QString &name, const QByteArray &body) { bodies_.insert(name, body); }

    int requests(const QString &path) const { return requests_.value(path); }
    int totalRequests() const { return total_; }
    int connections() const { return connections_; }
    // The method of the last request ("GET", "HEAD").
    QByteArray lastMethod() const { return lastMethod_; }
    // The header names of the last request, lower-cased.
    QList<QByteArray> lastHeaderNames() const { return lastHeaderNames_; }
    // A header of the last request by lower-case name; empty when it was not sent.
    QByteArray lastHeader(const QByteArray &name) const { return lastHeaders_.value(name); }

protected:
    // Serves through `server` (a QSslServer for https), already set up, under `scheme`.
    TestHttpServer(QTcpServer *server, const char *scheme, QObject *parent);

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &path);

    QTcpServer *server_;
    const char *scheme_;
    QHash<QString, int> requests_;
    QHash<QString, QByteArray> bodies_;
    QByteArray lastMethod_;
    QList<QByteArray> lastHeaderNames_;
    QHash<QByteArray, QByteArray> lastHeaders_;
    int total_ = 0;
    int connections_ = 0;
};
