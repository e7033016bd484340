#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

class HttpClient;
class QGridLayout;
class QLabel;
class QPushButton;

// Shows the certificate an https server presents, for a person to decide whether to trust a host
// whose certificate no authority signed: its subject, issuer, validity and SHA-256 fingerprints
// (the certificate's and its key's pin). The certificate is read as the dialog opens, without
// waiting for it; Trust stays off until it has been read, and stores the very pin shown.
class TrustCertificateDialog : public QDialog {
    Q_OBJECT
public:
    // `trust` stores the pin and says whether it was kept; the dialog closes once it has.
    using Trust = std::function<bool(const QString &pin)>;

    TrustCertificateDialog(HttpClient &client, const QString &hostName, const QString &address,
                           Trust trust, QWidget *parent = nullptr);

    QLabel *statusLabel() const { return status_; }
    QLabel *subjectLabel() const { return subject_; }
    QLabel *issuerLabel() const { return issuer_; }
    QLabel *validityLabel() const { return validity_; }
    QLabel *fingerprintLabel() const { return fingerprint_; }
    QLabel *pinLabel() const { return pin_; }
    QPushButton *trustButton() const { return trustButton_; }

private:
    QLabel *addRow(QGridLayout *grid, const QString &title);
    void trustShownPin();

    Trust trust_;
    QLabel *status_;
    QLabel *subject_;
    QLabel *issuer_;
    QLabel *validity_;
    QLabel *fingerprint_;
    QLabel *pin_;
    QPushButton *trustButton_;
};
