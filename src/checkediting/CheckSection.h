#pragma once

#include "checkediting/CheckOptionsDialog.h"
#include "checkediting/TrustCertificateDialog.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class Host;
class QLabel;
class QPushButton;
class TRHostController;

// The "Check" part of a host's details: the options it is checked by (defaults included, header
// values never), "Change…" to edit them, and, while the host fails on a certificate no authority
// signed (or on a pinned key that changed), "Trust This Certificate…". Whatever is changed here
// goes through the engine, which stores it and checks the host at once.
class CheckSection : public QWidget {
    Q_OBJECT
public:
    // The width of the titles' column; the details window's figures above use it too, so both
    // line up.
    static constexpr int titleWidth = 80;

    CheckSection(TRHostController *engine, QWidget *parent = nullptr);

    void setHost(const std::shared_ptr<Host> &host);
    // Shows the host's options and state as they are now.
    void refresh();

    // Whether `host` would be offered "Trust This Certificate…".
    static bool offersTrust(const Host &host);

    QLabel *row(int index) const;
    QPushButton *changeButton() const { return change_; }
    QPushButton *trustButton() const { return trust_; }
    CheckOptionsDialog *editor() const { return editor_; }
    TrustCertificateDialog *trustDialog() const { return trustDialog_; }

    void openEditor();
    void openTrustDialog();

private:
    QPointer<TRHostController> engine_;
    std::weak_ptr<Host> host_;
    QList<QLabel *> rows_;
    QPushButton *change_;
    QPushButton *trust_;
    QPointer<CheckOptionsDialog> editor_;
    QPointer<TrustCertificateDialog> trustDialog_;
};
