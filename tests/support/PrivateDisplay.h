#pragma once

#include <QProcess>
#include <QString>

// An X server of the test's own (Xvfb), on a display number it picks itself, so tests running
// side by side never meet. Stopped with the object.
class PrivateDisplay {
public:
    PrivateDisplay();
    ~PrivateDisplay();

    bool isRunning() const { return !name_.isEmpty(); }
    QString error() const { return error_; }
    // ":N", for DISPLAY.
    QString name() const { return name_; }

private:
    QProcess server_;
    QString name_;
    QString error_;
};
