#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Tells when the settings file may have been changed by another process (an import, say). The
// file is replaced by renaming a new one over it, which ends a watch on the file itself, so its
// folder is watched too; a burst of changes is reported once.
class SettingsWatcher : public QObject {
    Q_OBJECT
public:
    explicit SettingsWatcher(QObject *parent = nullptr);

Q_SIGNALS:
    void changed();

private:
    void rewatch();

    QFileSystemWatcher watcher_;
    QTimer settle_;
};
