#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// What one update check found, and the sentence that tells the user.
struct UpdateCheckResult {
    enum class Kind { UpdateAvailable, UpToDate, Failed, FromPackageManager };

    Kind kind = Kind::Failed;
    QString newestVersion; // the feed's newest release; empty when the check failed
    QUrl downloadPage;     // where to get it; empty unless an update is available
    QString message;       // plain text, never markup

    // Compares the newest release in `feed` (see UpdateFeed) with `currentVersion`.
    static UpdateCheckResult fromFeed(const QByteArray &feed, const QString &currentVersion);
    static UpdateCheckResult failed(const QString &reason);
    // A build without an update feed: its updates come with the system's.
    static UpdateCheckResult fromPackageManager();
};
