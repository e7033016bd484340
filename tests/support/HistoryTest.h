#pragma once
// A test with a history store over an engine whose hosts answer from a local server, on a clock
// the test moves.
#include "history/HistoryStore.h"
#include "http/HttpFailure.h"
#include "http/HttpResult.h"
#include "monitoring/TRHostController.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// The first moment of the day the history tests record in.
inline const QDateTime dayStart(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);

// A check's result as the history keeps it: up or down, its time and reason.
inline HttpResult result(bool ok, double seconds, const QString &error = QString()) {
    HttpResult r;
    r.ok = ok;
    r.seconds = seconds;
    r.error = error;
    r.failure = ok ? HttpFailure::None : HttpFailure::Other;
    return r;
}

// An answer that is up, with the time each phase of it took.
inline HttpResult withPhases(double dns, double connect, double tls, double processing,
                             double transfer) {
    HttpResult r = result(true, dns + connect + tls + processing + transfer);
    r.phases = HttpPhases{dns, connect, tls, processing, transfer};
    return r;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        ASSERT_TRUE(folder.isValid());
    }

    std::shared_ptr<Host> addHost(const QString &name, const QString &path) {
        auto host = makeHost(name, server.url(path));
        listHost(engine, host);
        return host;
    }

    std::unique_ptr<HistoryStore> openStore() {
        auto store = std::make_unique<HistoryStore>(&engine, folder.path(), clock);
        store->setFlushDelay(std::chrono::hours(1));
        return store;
    }

    // One round of real checks against the local server, then a minute on.
    void checkAll() {
        QSignalSpy finished(&engine, &TRHostController::roundFinished);
        engine.ping();
        ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
        clock.advanceMs(61000);
    }

    QTemporaryDir folder;
    TestHttpServer server;
    ManualClock clock;
    TRHostController engine{clock};
};
