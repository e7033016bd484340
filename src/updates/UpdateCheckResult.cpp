#include "updates/UpdateCheckResult.h"

#include "updates/UpdateFeed.h"
#include "updates/Version.h"

UpdateCheckResult UpdateCheckResult::fromFeed(const QByteArray &feed,
                                              const QString &currentVersion) {
    const std::optional<Version> current = Version::parse(currentVersion);
    if (!current)
        return failed(QStringLiteral("this build's version \"%1\" is not a version number")
                          .arg(currentVersion));
    const UpdateFeed::Reading reading = UpdateFeed::read(feed);
    if (!reading.newest)
        return failed(reading.error);

    UpdateCheckResult result;
    result.newestVersion = reading.newest->version.toString();
    if (reading.newest->version > *current) {
        result.kind = Kind::UpdateAvailable;
        result.downloadPage = reading.newest->downloadPage;
        result.message = QStringLiteral("Tarvik %1 is available \u2014 you have %2.")
                             .arg(result.newestVersion, current->toString());
    } else {
        // Also when this build is newer than anything published, as a development build may be.
        result.kind = Kind::UpToDate;
        result.message = QStringLiteral("You're up to date \u2014 Tarvik %1 is the newest version.")
                             .arg(current->toString());
    }
    return result;
}

UpdateCheckResult UpdateCheckResult::failed(const QString &reason) {
    UpdateCheckResult result;
    result.kind = Kind::Failed;
    result.message = QStringLiteral("Couldn't check for updates: %1").arg(reason);
    return result;
}

UpdateCheckResult UpdateCheckResult::fromPackageManager() {
    UpdateCheckResult result;
    result.kind = Kind::FromPackageManager;
    result.message = QStringLiteral("This Tarvik gets its updates from your system's package "
                                    "manager, together with the rest of your software.");
    return result;
}
