#pragma once

#include "checkediting/CheckFields.h"

#include <QDialog>
#include <QList>
#include <QMap>

#include <functional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// Changes one host's check options. Each field shows the option in effect and may be left empty
// for its default; what is wrong is said under the field and nothing is stored until every field
// is right. Header values are typed hidden and never filled in: a stored header shows its name,
// and its value stays unless a new one is typed.
//
// Each field and its message are found by the option's JSON key as object name ("timeoutSeconds"
// and "timeoutSecondsMessage"); a header row's fields are "headerName" and "headerValue".
class CheckOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // `store` takes the new options and says whether they were kept; the dialog closes once it
    // has.
    using Store = std::function<bool(const CheckOptions &)>;

    CheckOptionsDialog(const QString &hostName, const CheckOptions &options, Store store,
                       QWidget *parent = nullptr);

    QPushButton *saveButton() const { return save_; }
    // A new, empty header row.
    void addHeaderRow();
    // What the fields make now.
    CheckFields fields() const;

private:
    struct HeaderRow {
        QLineEdit *name;
        QLineEdit *value;
        QString storedName;
        QWidget *row;
    };

    QLineEdit *addText(const QString &title, const char *key, const QString &text,
                       const QString &placeholder);
    QLabel *addMessage(const char *key);
    void addHeaderRow(const QString &storedName);
    void trySave();

    CheckOptions stored_;
    Store store_;
    QGridLayout *grid_;
    int nextRow_ = 0;
    QLineEdit *expectStatus_;
    QCheckBox *followRedirects_;
    QComboBox *method_;
    QLineEdit *bodyContains_;
    QLineEdit *bodyLacks_;
    QLineEdit *timeoutSeconds_;
    QWidget *headerRowsView_;
    QList<HeaderRow> headerRows_;
    QLineEdit *trustedCertificate_;
    QLineEdit *slowAboveMs_;
    QMap<QString, QLabel *> messages_;
    QLabel *saveMessage_;
    QPushButton *save_;
};
