#pragma once

#include "notifications/Notice.h"

#include <QObject>

// Shows notices to the user. Handles are the notifier's own, so a caller can replace or close
// a notice before the desktop has even said which id it gave it.
class Notifier : public QObject {
    Q_OBJECT
public:
    explicit Notifier(QObject *parent = nullptr);
    ~Notifier() override;

    // Shows `notice` in place of the one `handle` names when it is still known, otherwise as a
    // new one; returns the handle that now names it.
    virtual int show(const Notice &notice, int handle = 0) = 0;
    // Withdraws the notice; unknown or already closed handles are ignored.
    virtual void close(int handle) = 0;

Q_SIGNALS:
    // The user clicked the notice (its default action).
    void activated(int handle);
};
