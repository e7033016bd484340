#include "EngineRound.h"

#include "BenchFailure.h"
#include "ProcessCpu.h"
#include "StallProbe.h"
#include "monitoring/TRHostController.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <optional>

RoundResult runEngineRound(TRHostController &engine, bool probeStalls, std::chrono::seconds limit) {
    RoundResult result;
    result.seconds.reserve(engine.hosts().size());
    int failures = 0;
    QString firstError;
    int round = -1;
    bool finished = false;
    QEventLoop loop;

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection started = QObject::connect(
        &engine, &TRHostController::roundStarted, [&](int number, int) { round = number; });
    const QMetaObject::Connection checked = QObject::connect(
        &engine, &TRHostController::checkFinished, [&](const Host &host, const HttpResult &r) {
            if (r.ok) {
                result.seconds.push_back(r.seconds);
            } else if (failures++ == 0) {
                firstError = host.address() + QStringLiteral(": ") + r.error;
            }
        });
    const QMetaObject::Connection done =
        QObject::connect(&engine, &TRHostController::roundFinished, [&](int number) {
            if (number == round) {
                finished = true;
                loop.quit();
            }
        });

    std::optional<StallProbe> probe;
    if (probeStalls)
        probe.emplace();
    watchdog.start(limit);

    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = processCpuTime();
    const auto threadStart = threadCpuTime();
    if (probe)
        probe->start();
    engine.ping();
    result.pingCall = std::chrono::steady_clock::now() - wallStart;
    if (!finished)
        loop.exec();
    if (probe)
        probe->stop();
    // Notifiers retired during the round are deleted once the loop regains control; that is
    // part of what a round costs, so it is counted here rather than in the next round.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    result.cpu = processCpuTime() - cpuStart;
    result.mainThreadCpu = threadCpuTime() - threadStart;
    result.wall = std::chrono::steady_clock::now() - wallStart;

    watchdog.stop();
    QObject::disconnect(started);
    QObject::disconnect(checked);
    QObject::disconnect(done);
    if (probe) {
        result.longestStall = probe->longestStall();
        result.longestBusy = probe->longestBusy();
    }

    if (!finished)
        throw BenchFailure("an engine round overran " + std::to_string(limit.count()) + " s");
    if (failures > 0)
        throw BenchFailure(std::to_string(failures) + " engine checks failed, first " +
                           firstError.toStdString());
    if (result.seconds.size() != engine.hosts().size())
        throw BenchFailure("the engine reported " + std::to_string(result.seconds.size()) +
                           " checks for " + std::to_string(engine.hosts().size()) + " hosts");
    return result;
}
