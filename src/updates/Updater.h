#pragma once

#include "http/HttpClient.h"
#include "updates/UpdateCheckResult.h"
#include "updates/UpdateDialog.h"

#include <QObject>
#include <QString>

#include <memory>

class QMessageBox;

// Behind "Check for Updates": fetches the update feed (format in UpdateFeed.h), compares its
// newest release with the running version and reports the outcome through checkFinished and,
// unless quiet, a small dialog. Without a feed it says that updates come from the package
// manager. The program's own updater is built with what the build was
// configured with: Updater(BuildInfo::updateFeedUrl(), BuildInfo::version(), parent).
class Updater : public QObject {
    Q_OBJECT
public:
    Updater(const QString &feedUrl, const QString &currentVersion, QObject *parent = nullptr);
    ~Updater() override;

    QString feedUrl() const { return feedUrl_; }
    QString currentVersion() const { return currentVersion_; }

    // Quiet: report through checkFinished only, never a dialog.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    bool isQuiet() const { return quiet_; }

    // What "Download" does with the page; the browser unless replaced. Applies to dialogs shown
    // after the call.
    void setUrlOpener(UrlOpener open) { open_ = std::move(open); }

    bool isChecking() const { return checking_; }

    // The dialog showing the last result, until the next result replaces it; null when quiet or
    // before the first result.
    QMessageBox *dialog() const { return dialog_.get(); }

public Q_SLOTS:
    // Starts a check unless one is running; the outcome always arrives later, from the event
    // loop, never during this call.
    void checkForUpdates();

Q_SIGNALS:
    void checkFinished(const UpdateCheckResult &result);

private:
    void finish(const UpdateCheckResult &result);

    QString feedUrl_;
    QString currentVersion_;
    bool quiet_ = false;
    bool checking_ = false;
    UrlOpener open_ = &UpdateDialog::openInBrowser;
    HttpClient client_;
    std::unique_ptr<QMessageBox> dialog_;
};
