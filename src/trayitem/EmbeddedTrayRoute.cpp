#include "trayitem/EmbeddedTrayRoute.h"

#include "trayitem/StatusNotifierWatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QThread>

#include <atomic>
#include <memory>

namespace {
// Qt's own question, asked the same way (on this worker thread only): is a host registered?
bool statusNotifierHostSeenByQt() {
    const QString service = QString::fromLatin1(StatusNotifierWatch::watcherService);
    QDBusInterface watcher(service, QString::fromLatin1(StatusNotifierWatch::watcherPath), service,
                           QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}
} // namespace

EmbeddedTrayRoute &EmbeddedTrayRoute::instance() {
    static QPointer<EmbeddedTrayRoute> route;
    if (!route)
        route = new EmbeddedTrayRoute(QCoreApplication::instance());
    return *route;
}

EmbeddedTrayRoute::EmbeddedTrayRoute(QObject *parent)
    : QObject(parent) {}

EmbeddedTrayRoute::~EmbeddedTrayRoute() {
    // A worker still waiting on a panel that never answers is left to end with the process.
    if (worker_ && !worker_->wait(200))
        (void)worker_.release();
}

void EmbeddedTrayRoute::ask() {
    if (asked_)
        return;
    asked_ = true;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QMetaObject::invokeMethod(
            this, [this] { settle(false); }, Qt::QueuedConnection);
        return;
    }
    // The answer travels through `finished`, never through `this`: a worker still waiting on a
    // panel that never answers may outlive this object.
    auto open = std::make_shared<std::atomic<bool>>(false);
    worker_.reset(QThread::create([open] {
        // Qt's choice is made while the icon is constructed, between two identical questions;
        // it is known for sure only when both give the same answer. In doubt, Qt's icon stays
        // unused: no icon is better than a frozen one.
        const bool before = statusNotifierHostSeenByQt();
        { const QSystemTrayIcon choosing; }
        const bool after = statusNotifierHostSeenByQt();
        open->store(!before && !after);
    }));
    connect(worker_.get(), &QThread::finished, this, [this, open] { settle(open->load()); });
    worker_->start();
}

void EmbeddedTrayRoute::settle(bool open) {
    if (worker_)
        worker_->wait();
    open_ = open;
    Q_EMIT decided(open);
}
