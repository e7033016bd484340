#pragma once

#include "updates/UpdateCheckResult.h"

#include <QMessageBox>
#include <QUrl>

#include <functional>
#include <memory>

// Opens a download page for the user; normally the desktop's browser.
using UrlOpener = std::function<void(const QUrl &)>;

// The small, non-modal box that tells the user what an update check found. With an update it
// offers "Download", which hands the download page to `open`, and "Later"; otherwise it only has
// "OK". All text is plain: nothing from the feed or the network is read as markup.
class UpdateDialog {
public:
    static QString downloadButtonText() { return QStringLiteral("Download"); }
    static QString laterButtonText() { return QStringLiteral("Later"); }

    // The box is not shown yet, and has no parent: the caller owns it.
    static std::unique_ptr<QMessageBox> create(const UpdateCheckResult &result, UrlOpener open);

    // Opens `url` in the desktop's browser, warning on stderr when that fails.
    static void openInBrowser(const QUrl &url);
};
