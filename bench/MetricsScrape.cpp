#include "MetricsScrape.h"

#include "BenchFailure.h"
#include "ProcessCpu.h"
#include "metrics/MetricsServer.h"
#include "metrics/ProbeMetrics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

MetricsScrape::MetricsScrape(const ProbeMetrics &metrics)
    : server_(std::make_unique<MetricsServer>([&metrics] { return metrics.exposition(); })) {
    QString error;
    if (!server_->listen(QHostAddress(QHostAddress::LocalHost), 0, &error))
        throw BenchFailure("the metrics server cannot listen: " + error.toStdString());
}

MetricsScrape::~MetricsScrape() = default;

ScrapeResult MetricsScrape::run(std::chrono::seconds limit) {
    ScrapeResult result;
    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = processCpuTime();
    QTcpSocket socket;
    QByteArray answer;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), server_->port());
    QObject::connect(&socket, &QTcpSocket::connected, &socket,
                     [&] { socket.write("GET /metrics HTTP/1.1\r\nHost: bench\r\n\r\n"); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { answer += socket.readAll(); });
    QDeadlineTimer deadline(limit);
    while (socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    answer += socket.readAll();
    result.cpu = processCpuTime() - cpuStart;
    result.wall = std::chrono::steady_clock::now() - wallStart;
    const qsizetype headEnd = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/1.1 200 ") || headEnd < 0)
        throw BenchFailure("the scrape did not get a complete 200 answer");
    const QByteArray body = answer.mid(headEnd + 4);
    if (!answer.left(headEnd).contains("Content-Length: " + QByteArray::number(body.size())))
        throw BenchFailure("the scrape's body is not as long as announced");
    result.bytes = std::size_t(body.size());
    result.probes = int(body.count("\nprobe_success{"));
    return result;
}
