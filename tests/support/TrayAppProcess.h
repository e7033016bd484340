#pragma once

#include <QProcess>
#include <QString>

// The real Tarvik in a process of its own, on the test's X display (and whatever session bus
// the test set up), sharing the test's private config and runtime folders. Stopped with the
// object, as a desktop would end it.
class TrayAppProcess {
public:
    TrayAppProcess(const QString &program, const QString &display);
    ~TrayAppProcess();

    // Waits until it answers a second start, as it does once it is up; false after `ms`.
    bool answers(int ms = 10000);
    // What it printed so far, for failure messages.
    QString output();

private:
    QProcess process_;
    QString output_;
};
