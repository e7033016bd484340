// A day of history for 1000 hosts checked every minute: how much memory and disk it takes
// against the bound stated below, how long writing and reading it all back takes, and how long
// the details window takes to open on a host with a full day. Figures, not pass/fail: a bound
// that is missed is reported and the run ends with status 1.
//
//   tarvik_history_bench [--hosts N] [--checks N]

#include "history/HistoryStore.h"
#include "historyviews/TRHostDetailsWindow.h"
#include "http/HttpClient.h"
#include "monitoring/Clock.h"
#include "monitoring/TRHostController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// A record is 32 bytes in memory and 31 on disk; the ring holds 1536. So a full day (1440
// checks) is 46 KB a host in memory once the ring has grown to it, and 45 KB a host on disk.
constexpr double memoryBoundBytesPerHost = 52.0 * 1024; // ring at capacity + texts + bookkeeping
constexpr double diskBoundBytesPerHost = 48.0 * 1024;
constexpr double openBoundMs = 100.0;

class SteppedClock : public Clock {
public:
    QDateTime now() const override { return now_; }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_ = QDateTime::currentDateTimeUtc().addDays(-1);
};

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

HttpResult checkResult(int host, int minute) {
    HttpResult result;
    // One host in fifty fails for ten minutes every few hours, with one of a few reasons.
    const bool down = host % 50 == 0 && (minute % 240) < 10;
    result.ok = !down;
    const double base = 0.02 + 0.0001 * (host % 100);
    result.phases = HttpPhases{0.001, 0.002, 0.006, base, 0.0005 * (minute % 7)};
    result.seconds = 0.0095 + base + 0.0005 * (minute % 7);
    if (down) {
        result.status = 503;
        result.error = minute % 2 ? QStringLiteral("HTTP status 503")
                                  : QStringLiteral("Operation timed out after 30000 milliseconds");
    }
    return result;
}

double megabytes(double bytes) {
    return bytes / 1e6;
}
} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int hosts = 1000;
    int checks = 1440;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--hosts") && i + 1 < argc)
            hosts = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--checks") && i + 1 < argc)
            checks = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: tarvik_history_bench [--hosts N] [--checks N]\n");
            return 2;
        }
    }
    if (hosts < 1 || checks < 1) {
        std::fprintf(stderr, "tarvik_history_bench: --hosts and --checks take positive numbers\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    SteppedClock clock;
    TRHostController engine(clock);
    HostList list;
    for (int i = 0; i < hosts; ++i) {
        auto host =
            std::make_shared<Host>(QStringLiteral("https://host-%1.example.invalid/").arg(i));
        host->setString(QStringLiteral("host %1").arg(i));
        list.push_back(host);
    }
    engine.setHosts(std::move(list));

    bool missed = false;
    const long before = residentKiB();
    double recordMs = 0;
    double writeMs = 0;
    double memoryBytes = 0;
    {
        HistoryStore store(&engine, folder.path(), clock);
        store.setFlushDelay(std::chrono::hours(24));
        QElapsedTimer timer;
        timer.start();
        for (int minute = 0; minute < checks; ++minute) {
            for (int i = 0; i < hosts; ++i)
                store.record(*engine.hosts()[size_t(i)], checkResult(i, minute));
            clock.advance(60);
        }
        recordMs = double(timer.nsecsElapsed()) / 1e6;
        memoryBytes = double(store.memoryBytes());
        const long after = residentKiB();
        timer.restart();
        if (!store.flush()) {
            std::fprintf(stderr, "tarvik_history_bench: the histories could not be written\n");
            return 1;
        }
        writeMs = double(timer.nsecsElapsed()) / 1e6;
        const double perHost = memoryBytes / hosts;
        std::printf("history of %d hosts x %d checks (one a minute)\n", hosts, checks);
        std::printf("  memory, counted:   %7.1f MB (%.1f KB a host; bound %.0f KB a host) %s\n",
                    megabytes(memoryBytes), perHost / 1024, memoryBoundBytesPerHost / 1024,
                    perHost <= memoryBoundBytesPerHost ? "ok" : "MISSED");
        std::printf("  memory, resident:  %7.1f MB more than before\n",
                    double(after - before) * 1024 / 1e6);
        std::printf("  recording:         %7.1f ms for every check (%.2f us a check)\n", recordMs,
                    recordMs * 1000 / (double(hosts) * checks));
        missed = missed || perHost > memoryBoundBytesPerHost;
    }

    double diskBytes = 0;
    for (const QFileInfo &file : QDir(folder.path()).entryInfoList(QDir::Files))
        diskBytes += double(file.size());
    const double diskPerHost = diskBytes / hosts;
    std::printf("  disk:              %7.1f MB (%.1f KB a host; bound %.0f KB a host) %s\n",
                megabytes(diskBytes), diskPerHost / 1024, diskBoundBytesPerHost / 1024,
                diskPerHost <= diskBoundBytesPerHost ? "ok" : "MISSED");
    std::printf("  writing it all:    %7.1f ms at once (at quit); a timed flush, at most every 5\n"
                "                     minutes, writes %d files a loop turn: %.1f ms a turn\n",
                writeMs, HistoryStore::filesPerTurn, writeMs / hosts * HistoryStore::filesPerTurn);
    missed = missed || diskPerHost > diskBoundBytesPerHost;

    // A restart: every history read back, then the details window opened on a full day.
    QElapsedTimer timer;
    timer.start();
    HistoryStore store(&engine, folder.path(), clock);
    const double readMs = double(timer.nsecsElapsed()) / 1e6;
    const HostHistory *first = store.history(*engine.hosts()[0]);
    std::printf("  reading it back:   %7.1f ms (%d checks for the first host)\n", readMs,
                first ? first->size() : 0);
    if (!first || first->size() != std::min(checks, HostHistory::defaultCapacity)) {
        std::fprintf(stderr, "tarvik_history_bench: the history did not come back whole\n");
        return 1;
    }

    timer.restart();
    TRHostDetailsWindow window(nullptr, &store, &engine, clock);
    window.setHost(engine.hosts()[0]);
    window.show();
    window.repaint();
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    QApplication::processEvents();
    timer.restart();
    window.setHost(engine.hosts()[1]);
    window.repaint();
    const double switchMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    store.record(*engine.hosts()[1], checkResult(1, checks));
    window.repaint();
    const double liveMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("details window with a full day:\n");
    std::printf("  first open:        %7.2f ms (bound %.0f ms) %s\n", openMs, openBoundMs,
                openMs < openBoundMs ? "ok" : "MISSED");
    std::printf("  another host:      %7.2f ms\n", switchMs);
    std::printf("  one more check:    %7.2f ms\n", liveMs);
    missed = missed || openMs >= openBoundMs;
    return missed ? 1 : 0;
}
