#include "updates/UpdateDialog.h"

#include <QDesktopServices>
#include <QPushButton>

std::unique_ptr<QMessageBox> UpdateDialog::create(const UpdateCheckResult &result, UrlOpener open) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(QStringLiteral("Tarvik"));
    box->setTextFormat(Qt::PlainText);
    box->setText(result.message);
    box->setWindowModality(Qt::NonModal);

    if (result.kind == UpdateCheckResult::Kind::UpdateAvailable) {
        box->setIcon(QMessageBox::Information);
        QPushButton *download = box->addButton(downloadButtonText(), QMessageBox::AcceptRole);
        QPushButton *later = box->addButton(laterButtonText(), QMessageBox::RejectRole);
        box->setDefaultButton(download);
        box->setEscapeButton(later);
        QObject::connect(download, &QPushButton::clicked, box.get(),
                         [open = std::move(open), page = result.downloadPage] {
                             if (open)
                                 open(page);
                         });
    } else {
        box->setIcon(result.kind == UpdateCheckResult::Kind::Failed ? QMessageBox::Warning
                                                                    : QMessageBox::Information);
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

void UpdateDialog::openInBrowser(const QUrl &url) {
    if (!QDesktopServices::openUrl(url))
        qWarning("tarvik: could not open %s", qPrintable(url.toString()));
}
