#include "settings/SettingsWatcher.h"

#include "settings/Settings.h"

#include <QFileInfo>

SettingsWatcher::SettingsWatcher(QObject *parent)
    : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(100);
    connect(&settle_, &QTimer::timeout, this, [this] {
        rewatch();
        Q_EMIT changed();
    });
    auto touched = [this] {
        if (!settle_.isActive())
            settle_.start();
    };
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, touched);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, touched);
    Settings::ensureFolder();
    rewatch();
}

void SettingsWatcher::rewatch() {
    const QString folder = Settings::folder();
    const QString file = Settings::fileName();
    if (!watcher_.directories().contains(folder))
        watcher_.addPath(folder);
    if (QFileInfo::exists(file) && !watcher_.files().contains(file))
        watcher_.addPath(file);
}
