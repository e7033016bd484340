#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal on the event loop, so a headless run ends its loop
// normally (and everything is destroyed in order) instead of dying inside a handler.
class UnixSignals : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier *notifier_ = nullptr;
};
