#include "checkediting/TrustCertificateDialog.h"

#include "http/HttpClient.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString utcText(const QDateTime &time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}
} // namespace

TrustCertificateDialog::TrustCertificateDialog(HttpClient &client, const QString &hostName,
                                               const QString &address, Trust trust, QWidget *parent)
    // Above the details window it opens from, which stays above other windows.
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , trust_(std::move(trust)) {
    setWindowTitle(QStringLiteral("Trust the Certificate of ") + hostName);
    auto *outer = new QVBoxLayout(this);
    status_ = new QLabel(QStringLiteral("Reading the certificate…"), this);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    outer->addWidget(status_);
    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);
    subject_ = addRow(grid, QStringLiteral("Subject"));
    issuer_ = addRow(grid, QStringLiteral("Issuer"));
    validity_ = addRow(grid, QStringLiteral("Valid"));
    fingerprint_ = addRow(grid, QStringLiteral("SHA-256"));
    pin_ = addRow(grid, QStringLiteral("Key pin"));
    // One piece each, as they are compared and pasted elsewhere (the fingerprint in two lines of
    // its own making).
    fingerprint_->setWordWrap(false);
    pin_->setWordWrap(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    trustButton_ = new QPushButton(QStringLiteral("Trust"), this);
    trustButton_->setEnabled(false);
    connect(trustButton_, &QPushButton::clicked, this, &TrustCertificateDialog::trustShownPin);
    buttons->addWidget(cancel);
    buttons->addWidget(trustButton_);
    outer->addLayout(buttons);
    cancel->setDefault(true);

    QPointer<TrustCertificateDialog> self(this);
    client.readCertificate(address.toUtf8(), [self](const HttpClient::CertificateReading &reading) {
        if (!self)
            return;
        if (!reading.certificate) {
            self->status_->setText(QStringLiteral("The certificate could not be read: ") +
                                   reading.error);
            return;
        }
        const ServerCertificate &c = *reading.certificate;
        self->status_->setText(
            QStringLiteral("Trust this certificate only if these fingerprints are the server's "
                           "own. Its key will then be trusted for this host alone, whoever "
                           "signed it, and a check that meets another key will fail."));
        self->subject_->setText(c.subject);
        self->issuer_->setText(c.issuer);
        const bool expired = c.notAfter < QDateTime::currentDateTimeUtc();
        self->validity_->setText(utcText(c.notBefore) + QStringLiteral(" to ") +
                                 utcText(c.notAfter) +
                                 (expired ? QStringLiteral(" (expired)") : QString()));
        // 32 pairs of digits do not wrap by themselves: two lines of 16 are read more easily.
        QString fingerprint = QString::fromLatin1(c.sha256Fingerprint);
        if (fingerprint.size() > 48)
            fingerprint[47] = QLatin1Char('\n');
        self->fingerprint_->setText(fingerprint);
        self->pin_->setText(QString::fromLatin1(c.publicKeyPin));
        self->trustButton_->setEnabled(!c.publicKeyPin.isEmpty());
        // It opened with empty rows; now they are filled, it takes the size they need (once its
        // layout has taken in their new texts).
        QTimer::singleShot(0, self, [self] {
            if (self)
                self->adjustSize();
        });
    });
}

QLabel *TrustCertificateDialog::addRow(QGridLayout *grid, const QString &title) {
    const int row = grid->count() / 2;
    grid->addWidget(new QLabel(title, this), row, 0, Qt::AlignRight | Qt::AlignTop);
    auto *value = new QLabel(this);
    // Certificates are the server's text: never markup.
    value->setTextFormat(Qt::PlainText);
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setMinimumWidth(360);
    grid->addWidget(value, row, 1);
    return value;
}

void TrustCertificateDialog::trustShownPin() {
    if (!trust_ || !trust_(pin_->text())) {
        status_->setText(QStringLiteral("The pin could not be saved."));
        return;
    }
    accept();
}
