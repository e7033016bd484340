#include "updates/Updater.h"

#include "updates/UpdateFeed.h"

#include <QMessageBox>

Updater::Updater(const QString &feedUrl, const QString &currentVersion, QObject *parent)
    : QObject(parent)
    , feedUrl_(feedUrl)
    , currentVersion_(currentVersion) {}

Updater::~Updater() = default;

void Updater::checkForUpdates() {
    if (checking_)
        return;
    checking_ = true;
    if (feedUrl_.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { finish(UpdateCheckResult::fromPackageManager()); },
            Qt::QueuedConnection);
        return;
    }
    if (const std::optional<QString> problem = UpdateFeed::addressProblem(feedUrl_)) {
        QMetaObject::invokeMethod(
            this, [this, reason = *problem] { finish(UpdateCheckResult::failed(reason)); },
            Qt::QueuedConnection);
        return;
    }
    // The client is a member: destroying the updater drops the request and this completion.
    client_.get(feedUrl_.toUtf8(), UpdateFeed::requestOptions(feedUrl_),
                [this](const HttpResult &response) {
                    finish(response.ok ? UpdateCheckResult::fromFeed(response.body, currentVersion_)
                                       : UpdateCheckResult::failed(response.error));
                });
}

void Updater::finish(const UpdateCheckResult &result) {
    checking_ = false;
    if (!quiet_) {
        dialog_ = UpdateDialog::create(result, open_);
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
    }
    Q_EMIT checkFinished(result);
}
