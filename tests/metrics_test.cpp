// The Prometheus face of headless mode: the exposition text, where it listens, the small server
// with its refusals, and the engine's results feeding it.
#include "metrics/ListenAddress.h"
#include "metrics/MetricsServer.h"
#include "metrics/MetricsText.h"
#include "metrics/ProbeMetrics.h"
#include "monitoring/TRHostController.h"
#include "support/ProcessLimits.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
MetricsText::Probe probe(const QString &name, const QString &target, bool ok) {
    MetricsText::Probe p{name, target, {}};
    p.result.ok = ok;
    p.result.seconds = 0.25;
    if (ok) {
        p.result.status = 200;
        p.result.phases = HttpPhases{0.001, 0.002, 0.01, 0.2, 0.03};
    }
    return p;
}

TEST(MetricsTextTest, EachFamilyIsDeclaredOnceAndHoldsEveryHostsSample) {
    MetricsText::Probe up =
        probe(QStringLiteral("shop"), QStringLiteral("https://shop.example"), true);
    up.result.certificateExpiry = QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    const MetricsText::Probe down =
        probe(QStringLiteral("blog"), QStringLiteral("http://blog.example"), false);
    const QDateTime round(QDate(2026, 3, 1), QTime(12, 0, 0, 500), QTimeZone::utc());
    QList<QByteArray> lines = MetricsText::render({up, down}, round).split('\n');
    for (QByteArray &line : lines) // what a HELP line says is for people to read
        if (line.startsWith("# HELP "))
            line.truncate(line.indexOf(' ', 7));
    // No answer is status 0 without phases, as probers report it; the round's time is a plain
    // decimal, not an exponent.
    EXPECT_EQ(lines.join('\n').toStdString(), R"(# HELP probe_success
# TYPE probe_success gauge
probe_success{name="shop",target="https://shop.example"} 1
probe_success{name="blog",target="http://blog.example"} 0
# HELP probe_duration_seconds
# TYPE probe_duration_seconds gauge
probe_duration_seconds{name="shop",target="https://shop.example"} 0.25
probe_duration_seconds{name="blog",target="http://blog.example"} 0.25
# HELP probe_http_status_code
# TYPE probe_http_status_code gauge
probe_http_status_code{name="shop",target="https://shop.example"} 200
probe_http_status_code{name="blog",target="http://blog.example"} 0
# HELP probe_http_duration_seconds
# TYPE probe_http_duration_seconds gauge
probe_http_duration_seconds{name="shop",target="https://shop.example",phase="resolve"} 0.001
probe_http_duration_seconds{name="shop",target="https://shop.example",phase="connect"} 0.002
probe_http_duration_seconds{name="shop",target="https://shop.example",phase="tls"} 0.01
probe_http_duration_seconds{name="shop",target="https://shop.example",phase="processing"} 0.2
probe_http_duration_seconds{name="shop",target="https://shop.example",phase="transfer"} 0.03
# HELP probe_ssl_earliest_cert_expiry
# TYPE probe_ssl_earliest_cert_expiry gauge
probe_ssl_earliest_cert_expiry{name="shop",target="https://shop.example"} 1798859045
# HELP tarvik_round_timestamp_seconds
# TYPE tarvik_round_timestamp_seconds gauge
tarvik_round_timestamp_seconds 1772366400.5
)");
}

TEST(MetricsTextTest, HostsWithOptionsAlsoSayWhatFailedAndWhetherTheyAreSlow) {
    using E = CheckVerdict::Expectation;
    const MetricsText::Probe plain =
        probe(QStringLiteral("plain"), QStringLiteral("http://plain"), false);
    const QByteArray withoutOptions = MetricsText::render({plain}, std::nullopt);
    const char *const families[] = {"probe_failed_due_to_regex", "tarvik_probe_failed_expectation",
                                    "tarvik_probe_slow"};
    for (const char *family : families)
        EXPECT_FALSE(withoutOptions.contains(family)) << "a list without options shows as before";

    // Each host failed one expectation, or none and is slow.
    const std::pair<const char *, E> cases[] = {{"contains", E::BodyContains},
                                                {"lacks", E::BodyLacks},
                                                {"status", E::ExpectStatus},
                                                {"pin", E::TrustedCertificate},
                                                {"slow", E::None}};
    std::vector<MetricsText::Probe> probes = {plain};
    for (const auto &[name, failed] : cases) {
        probes.push_back(
            probe(QString::fromLatin1(name), QStringLiteral("http://x"), failed == E::None));
        probes.back().hasOptions = true;
        probes.back().failed = failed;
        probes.back().slow = failed == E::None;
    }
    const QByteArray text = MetricsText::render(probes, std::nullopt);
    for (const char *family : families)
        EXPECT_FALSE(text.contains(family + QByteArray("{name=\"plain\""))) << family;
    for (const auto &[name, failed] : cases) {
        SCOPED_TRACE(name);
        const QByteArray labels = "{name=\"" + QByteArray(name) + "\",target=\"http://x\"";
        const bool body = failed == E::BodyContains || failed == E::BodyLacks;
        EXPECT_TRUE(
            text.contains("probe_failed_due_to_regex" + labels + (body ? "} 1\n" : "} 0\n")));
        EXPECT_TRUE(
            text.contains("tarvik_probe_slow" + labels + (failed == E::None ? "} 1\n" : "} 0\n")));
        // A series for every option, so that an alert rule can match on zero as well.
        const QByteArray series = "tarvik_probe_failed_expectation" + labels + ",expectation=\"";
        EXPECT_EQ(text.count(series), 5);
        for (const char *key :
             {"expectStatus", "bodyContains", "bodyLacks", "trustedCertificate", "timeoutSeconds"})
            EXPECT_TRUE(text.contains(series + key +
                                      (CheckVerdict::expectationKey(failed) == QLatin1String(key)
                                           ? "\"} 1\n"
                                           : "\"} 0\n")))
                << key;
    }
}

TEST(MetricsTextTest, LabelValuesAreEscapedWhateverTheyHold) {
    std::vector<MetricsText::Probe> probes;
    for (const QString &name : {QStringLiteral("say \"hi\""), QStringLiteral("C:\\sites\\new"),
                                QStringLiteral("two\nlines"), QStringLiteral("caf\u00e9 \u2603"),
                                QStringLiteral("end\\"), QStringLiteral("}{,= ")})
        probes.push_back(probe(name, QStringLiteral("http://x/?a=\"1\"&b=\\n"), true));
    const QByteArray text = MetricsText::render(probes, std::nullopt);
    EXPECT_TRUE(text.contains(R"(probe_success{name="say \"hi\"",target="http://x/?a=\"1\"&b=\\n"} 1
probe_success{name="C:\\sites\\new",target="http://x/?a=\"1\"&b=\\n"} 1
probe_success{name="two\nlines",target="http://x/?a=\"1\"&b=\\n"} 1
probe_success{name="café ☃",target="http://x/?a=\"1\"&b=\\n"} 1
probe_success{name="end\\",target="http://x/?a=\"1\"&b=\\n"} 1
probe_success{name="}{,= ",target="http://x/?a=\"1\"&b=\\n"} 1
)")) << text.toStdString();
    EXPECT_FALSE(text.contains("\ntarvik_round_timestamp_seconds ")) << "no round yet, no sample";
}

TEST(MetricsTextTest, IdenticalHostsKeepSeriesOfTheirOwn) {
    const QString target = QStringLiteral("http://a.example/");
    const QByteArray text = MetricsText::render(
        {probe(QStringLiteral("a"), target, true), probe(QStringLiteral("a"), target, false),
         probe(QStringLiteral("b"), target, true), probe(QStringLiteral("a"), target, true)},
        std::nullopt);
    // The first of them is labelled as before; a host alike in target only needs no index.
    EXPECT_TRUE(text.contains(R"(probe_success{name="a",target="http://a.example/"} 1
probe_success{name="a",target="http://a.example/",index="2"} 0
probe_success{name="b",target="http://a.example/"} 1
probe_success{name="a",target="http://a.example/",index="3"} 1
)")) << text.toStdString();
    // Each carries its index in every family: three, and the five phases of an answer.
    EXPECT_EQ(text.count(",index=\"2\"} "), 3);
    EXPECT_EQ(text.count(",index=\"3\""), 8);
}

TEST(ListenAddressTest, LoopbackUnlessAnAddressIsGiven) {
    QString error;
    const auto at = [&](const char *text) {
        return ListenAddress::parse(QString::fromLatin1(text), &error);
    };
    ASSERT_TRUE(at("9100"));
    EXPECT_EQ(at("9100")->address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(at("9100")->port, 9100);
    EXPECT_EQ(at(":9100")->address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(at("localhost:80")->address, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(at("0.0.0.0:9100")->address, QHostAddress(QStringLiteral("0.0.0.0")));
    EXPECT_EQ(at("[::1]:9100")->address, QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(at("192.168.1.5:65535")->port, 65535);
    EXPECT_EQ(at("[::]:9100")->address, QHostAddress(QHostAddress::Any)) << "both families";
    // Leading zeros and hex would be read as octal or hex: "127.0.0.010" is 127.0.0.8.
    for (const char *bad : {"", ":", "0", "65536", "-1", "+80", "9100x", "host.example:9100",
                            "::1:9100", "[::1]9100", "[::1", "1.2.3:80", "[nope]:80",
                            "127.0.0.010:80", "0x7f.0.0.1:80", "127.0.0.01:80", "0177.0.0.1:80"}) {
        error.clear();
        EXPECT_FALSE(at(bad)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}

// A raw client, so the tests can send exactly the bytes they mean.
struct Exchange {
    QByteArray status;  // the status line
    QByteArray headers; // the rest of the head
    QByteArray body;
    bool closed = false;
};

class MetricsServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0, &error))
            << error.toStdString();
    }

    std::unique_ptr<QTcpSocket> connectClient() {
        auto socket = std::make_unique<QTcpSocket>();
        // Watched by signal: a refused connection may be connected and closed again within one
        // turn of the loop.
        bool connected = false;
        const QMetaObject::Connection watch =
            QObject::connect(socket.get(), &QTcpSocket::connected, [&] { connected = true; });
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), server.port());
        EXPECT_TRUE(waitUntil([&] { return connected; }));
        QObject::disconnect(watch);
        return socket;
    }

    // Reads until the server closes the connection.
    static Exchange finish(QTcpSocket &socket) {
        Exchange e;
        QByteArray all;
        e.closed = waitUntil([&] {
            all += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        });
        all += socket.readAll();
        const qsizetype headEnd = all.indexOf("\r\n\r\n");
        const qsizetype lineEnd = all.indexOf("\r\n");
        e.status = all.left(lineEnd);
        e.headers = all.mid(lineEnd + 2, headEnd - lineEnd - 2);
        e.body = headEnd < 0 ? QByteArray() : all.mid(headEnd + 4);
        return e;
    }

    Exchange send(const QByteArray &request) {
        std::unique_ptr<QTcpSocket> socket = connectClient();
        socket->write(request);
        return finish(*socket);
    }

    int documents = 0;
    MetricsServer server{[this] {
        ++documents;
        return QByteArrayLiteral("probe_success{name=\"a\",target=\"b\"} 1\n");
    }};
};

TEST_F(MetricsServerTest, ServesTheDocumentForGetAndItsHeadForHead) {
    const Exchange get = send("GET /metrics HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(get.status, "HTTP/1.1 200 OK");
    EXPECT_TRUE(get.headers.contains("Content-Type: text/plain; version=0.0.4; charset=utf-8"))
        << get.headers.toStdString();
    EXPECT_EQ(get.body, "probe_success{name=\"a\",target=\"b\"} 1\n");
    EXPECT_TRUE(get.headers.contains("Content-Length: " + QByteArray::number(get.body.size())));
    EXPECT_TRUE(get.closed);

    const Exchange head = send("HEAD /metrics?debug=1 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(head.status, "HTTP/1.1 200 OK");
    EXPECT_TRUE(head.headers.contains("Content-Length: " + QByteArray::number(get.body.size())));
    EXPECT_TRUE(head.body.isEmpty());

    // A request may arrive in pieces.
    std::unique_ptr<QTcpSocket> socket = connectClient();
    for (const char *piece : {"GET /met", "rics HTTP/1.1\r", "\nHost: x\r\n", "\r\n"}) {
        socket->write(piece);
        socket->flush();
        spin(20);
    }
    EXPECT_EQ(finish(*socket).status, "HTTP/1.1 200 OK");
}

TEST_F(MetricsServerTest, RefusesOtherPathsMethodsAndMalformedRequests) {
    for (const char *request : {"GET / HTTP/1.1\r\n\r\n", "GET /metrics/ HTTP/1.1\r\n\r\n",
                                "GET /metricsX HTTP/1.1\r\n\r\n"})
        EXPECT_EQ(send(request).status, "HTTP/1.1 404 Not Found") << request;
    const Exchange post = send("POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(post.status, "HTTP/1.1 405 Method Not Allowed");
    EXPECT_TRUE(post.headers.contains("Allow: GET, HEAD"));
    for (const char *request : {"GET /metrics\r\n\r\n", "\x16\x03\x01\x02\x01\r\n\r\n"})
        EXPECT_EQ(send(request).status, "HTTP/1.1 400 Bad Request") << request;
    EXPECT_EQ(documents, 0) << "the document is made only for requests that get it";
}

TEST_F(MetricsServerTest, AnOversizedRequestIsRefusedWithoutWaitingForItsEnd) {
    const QByteArray huge =
        "GET /metrics HTTP/1.1\r\nX-Pad: " + QByteArray(MetricsServer::maxRequestBytes, 'a') +
        "\r\n";
    // The head never ends; the server answers once it has seen more than it accepts.
    EXPECT_EQ(send(huge).status, "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_EQ(documents, 0);
    // A head of exactly the bound is served; one byte more is refused, even though it ends.
    const QByteArray start = "GET /metrics HTTP/1.1\r\nX-Pad: ";
    const QByteArray fits =
        start + QByteArray(MetricsServer::maxRequestBytes - start.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(fits.size(), MetricsServer::maxRequestBytes);
    EXPECT_EQ(send(fits).status, "HTTP/1.1 200 OK");
    EXPECT_EQ(send(start + "a" + fits.mid(start.size())).status,
              "HTTP/1.1 431 Request Header Fields Too Large");
}

// Beyond the limit a connection is turned away at once, unless a client that has sent no whole
// request has had its grace: then the one that waited longest gives way.
TEST_F(MetricsServerTest, ConnectionsBeyondTheLimitAreTurnedAwayUntilAnIdleOneGivesWay) {
    const QByteArray get = "GET /metrics HTTP/1.1\r\n\r\n";
    server.setMaxConnections(3);
    server.setIdleGrace(std::chrono::milliseconds(300));
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 3; ++i) {
        slow.push_back(connectClient());
        slow.back()->write("G");
    }
    ASSERT_TRUE(waitUntil([&] { return server.openConnections() == 3; }));
    EXPECT_EQ(send(get).status, "HTTP/1.1 503 Service Unavailable")
        << "within their grace they keep their slots";
    EXPECT_EQ(documents, 0);
    ASSERT_TRUE(waitUntil([&] { return send(get).status == "HTTP/1.1 200 OK"; }));
    EXPECT_TRUE(waitUntil([&] { return slow[0]->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(slow[1]->state(), QAbstractSocket::ConnectedState);
    // One that sent its request whole is never pushed out, and a closed one frees its place.
    slow[1]->write("ET /metrics HTTP/1.1\r\n\r\n");
    EXPECT_EQ(finish(*slow[1]).status, "HTTP/1.1 200 OK");
    slow[2]->abort();
    EXPECT_TRUE(waitUntil([&] { return server.openConnections() == 0; }));
}

TEST_F(MetricsServerTest, AcceptingResumesAfterTheProcessRanOutOfDescriptors) {
    const QByteArray request = "GET /metrics HTTP/1.1\r\n\r\n";
    std::vector<int> clients;
    // Counted by a plain function: while no descriptor is left, the sanitizers' own check of a
    // virtual call (which opens a pipe) would fail.
    int failures = 0;
    QObject::connect(server.findChild<QTcpServer *>(), &QTcpServer::acceptError,
                     [&failures] { ++failures; });
    {
        // Clients take every descriptor left, so the server's accept fails as in a flood.
        ProcessLimit few(RLIMIT_NOFILE, rlim_t(QDir(QStringLiteral("/proc/self/fd")).count()) + 8);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(server.port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (;;) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0)
                break;
            clients.push_back(fd);
            ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        }
        ASSERT_FALSE(clients.empty());
        ASSERT_TRUE(waitUntil([&] { return failures > 0; }));
    }
    for (int fd : clients)
        ::close(fd);
    EXPECT_EQ(send(request).status, "HTTP/1.1 200 OK") << "the listener stopped for good";
}

// The engine's real checks, against a real server, as the exposition reports them.
TEST(ProbeMetricsTest, ReportsTheLastCheckOfEveryActiveHostByObjectWithoutPasswords) {
    resetSettings();
    TestHttpServer server;
    ManualClock clock;
    TRHostController engine{clock};
    ProbeMetrics metrics{engine};
    engine.httpClient().setDeadline(std::chrono::milliseconds(2000));
    const auto add = [&](const QString &name, const QString &path, bool active = true) {
        auto host = makeHost(name, server.url(path), active);
        listHost(engine, host);
        return host;
    };
    EXPECT_FALSE(metrics.exposition().contains("probe_success{")) << "nothing checked yet";
    const QString up = server.url(QStringLiteral("/delay/50"));
    add(QStringLiteral("up"), QStringLiteral("/delay/50"))
        ->setAddress(
            QString(up).replace(QStringLiteral("http://"), QStringLiteral("http://ops:s3cret@")));
    add(QStringLiteral("down"), QStringLiteral("/status/503"));
    auto twin = add(QStringLiteral("down"), QStringLiteral("/ok"));
    auto paused = add(QStringLiteral("paused"), QStringLiteral("/ok"), false);
    QSignalSpy finished(&engine, &TRHostController::roundFinished);
    engine.ping();
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));

    const QByteArray text = metrics.exposition();
    EXPECT_FALSE(text.contains("s3cret")) << text.constData();
    // The request still sent the password, and its answer began after the server's delay.
    const QByteArray upLabels =
        "{name=\"up\",target=\"" +
        QString(up).replace(QStringLiteral("http://"), QStringLiteral("http://ops:***@")).toUtf8() +
        '"';
    EXPECT_TRUE(text.contains("probe_success" + upLabels + "} 1\n")) << text.constData();
    const QRegularExpression processing(
        QRegularExpression::escape(QString::fromUtf8("probe_http_duration_seconds" + upLabels +
                                                     ",phase=\"processing\"} ")) +
        QStringLiteral("(\\S+)"));
    EXPECT_GE(processing.match(QString::fromUtf8(text)).captured(1).toDouble(), 0.045);
    EXPECT_FALSE(text.contains("name=\"paused\""));
    // Two hosts named "down": each keeps its own result, told apart by target.
    const auto down = [&](const char *path) {
        return "{name=\"down\",target=\"" + server.url(QLatin1String(path)).toUtf8() + "\"} ";
    };
    EXPECT_TRUE(text.contains("probe_success" + down("/status/503") + "0\n"));
    EXPECT_TRUE(text.contains("probe_success" + down("/ok") + "1\n"));
    EXPECT_TRUE(text.contains("probe_http_status_code" + down("/status/503") + "503\n"));

    engine.removeHost(twin);
    twin.reset();
    const QByteArray after = metrics.exposition();
    EXPECT_EQ(after.count("probe_success{"), 2) << "a removed host is gone from the metrics";
    EXPECT_TRUE(after.contains("\ntarvik_round_timestamp_seconds " +
                               QByteArray::number(clock.now().toSecsSinceEpoch()) + "\n"))
        << after.constData();
}
} // namespace
