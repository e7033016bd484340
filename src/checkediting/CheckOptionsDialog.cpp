#include "checkediting/CheckOptionsDialog.h"

#include "drawing/StatusColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString headerNameField = QStringLiteral("headerName");
const QString headerValueField = QStringLiteral("headerValue");
} // namespace

CheckOptionsDialog::CheckOptionsDialog(const QString &hostName, const CheckOptions &options,
                                       Store store, QWidget *parent)
    // Above the details window it opens from, which stays above other windows.
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , stored_(options)
    , store_(std::move(store))
    , grid_(new QGridLayout) {
    // The name is shown exactly as typed; a window title is never markup.
    setWindowTitle(QStringLiteral("Check of ") + hostName);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid_);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(2);
    grid_->setColumnStretch(1, 1);
    const CheckFields fields = CheckFields::of(options);

    expectStatus_ = addText(QStringLiteral("Up on HTTP status"), CheckOptions::expectStatusKey,
                            fields.expectStatus, QStringLiteral("200-299"));
    followRedirects_ = new QCheckBox(QStringLiteral("Follow redirects (up to 10)"), this);
    followRedirects_->setObjectName(QString::fromLatin1(CheckOptions::followRedirectsKey));
    followRedirects_->setChecked(fields.followRedirects);
    grid_->addWidget(followRedirects_, nextRow_++, 1);
    method_ = new QComboBox(this);
    method_->setObjectName(QString::fromLatin1(CheckOptions::methodKey));
    method_->addItems({QStringLiteral("GET"), QStringLiteral("HEAD")});
    method_->setCurrentIndex(fields.head ? 1 : 0);
    grid_->addWidget(new QLabel(QStringLiteral("Method"), this), nextRow_, 0, Qt::AlignRight);
    grid_->addWidget(method_, nextRow_++, 1, Qt::AlignLeft);
    bodyContains_ = addText(QStringLiteral("Body contains"), CheckOptions::bodyContainsKey,
                            fields.bodyContains, QStringLiteral("anything (not searched)"));
    bodyLacks_ = addText(QStringLiteral("Body lacks"), CheckOptions::bodyLacksKey, fields.bodyLacks,
                         QStringLiteral("anything (not searched)"));
    timeoutSeconds_ = addText(QStringLiteral("Timeout (s)"), CheckOptions::timeoutSecondsKey,
                              fields.timeoutSeconds, QStringLiteral("30"));
    slowAboveMs_ = addText(QStringLiteral("Slow above (ms)"), CheckOptions::slowAboveMsKey,
                           fields.slowAboveMs, QStringLiteral("never slow"));
    trustedCertificate_ =
        addText(QStringLiteral("Trusted key pin"), CheckOptions::trustedCertificateKey,
                fields.trustedCertificate, QStringLiteral("sha256//… (none: an authority signs)"));

    grid_->addWidget(new QLabel(QStringLiteral("Headers"), this), nextRow_, 0,
                     Qt::AlignRight | Qt::AlignTop);
    auto *headers = new QWidget(this);
    auto *headersLayout = new QVBoxLayout(headers);
    headersLayout->setContentsMargins(0, 0, 0, 0);
    headerRowsView_ = new QWidget(headers);
    auto *rowsLayout = new QVBoxLayout(headerRowsView_);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    headersLayout->addWidget(headerRowsView_);
    auto *add = new QPushButton(QStringLiteral("Add Header"), headers);
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] { addHeaderRow(); });
    headersLayout->addWidget(add, 0, Qt::AlignLeft);
    grid_->addWidget(headers, nextRow_++, 1);
    addMessage(CheckOptions::headersKey);
    for (const CheckFields::Header &header : fields.headers)
        addHeaderRow(header.storedName);

    saveMessage_ = addMessage("save");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    save_ = new QPushButton(QStringLiteral("Save"), this);
    save_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, &CheckOptionsDialog::trySave);
    buttons->addWidget(cancel);
    buttons->addWidget(save_);
    outer->addLayout(buttons);
}

QLineEdit *CheckOptionsDialog::addText(const QString &title, const char *key, const QString &text,
                                       const QString &placeholder) {
    auto *field = new QLineEdit(text, this);
    field->setObjectName(QString::fromLatin1(key));
    field->setPlaceholderText(placeholder);
    field->setMinimumWidth(280);
    grid_->addWidget(new QLabel(title, this), nextRow_, 0, Qt::AlignRight);
    grid_->addWidget(field, nextRow_++, 1);
    addMessage(key);
    return field;
}

QLabel *CheckOptionsDialog::addMessage(const char *key) {
    auto *message = new QLabel(this);
    message->setObjectName(QString::fromLatin1(key) + QStringLiteral("Message"));
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    QPalette palette = message->palette();
    palette.setColor(QPalette::WindowText, StatusColors::red());
    message->setPalette(palette);
    message->hide();
    grid_->addWidget(message, nextRow_++, 1);
    messages_.insert(QString::fromLatin1(key), message);
    return message;
}

void CheckOptionsDialog::addHeaderRow() {
    addHeaderRow(QString());
}

void CheckOptionsDialog::addHeaderRow(const QString &storedName) {
    auto *row = new QWidget(headerRowsView_);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *name = new QLineEdit(storedName, row);
    name->setObjectName(headerNameField);
    name->setPlaceholderText(QStringLiteral("Name"));
    auto *value = new QLineEdit(row);
    value->setObjectName(headerValueField);
    // A value is a secret: typed unseen, and a stored one is never put back in a field.
    value->setEchoMode(QLineEdit::Password);
    value->setPlaceholderText(storedName.isEmpty() ? QStringLiteral("Value")
                                                   : QStringLiteral("unchanged (hidden)"));
    auto *remove = new QPushButton(QStringLiteral("Remove"), row);
    remove->setAutoDefault(false);
    layout->addWidget(name, 2);
    layout->addWidget(value, 3);
    layout->addWidget(remove);
    headerRowsView_->layout()->addWidget(row);
    headerRows_.append(HeaderRow{name, value, storedName, row});
    connect(remove, &QPushButton::clicked, this, [this, row] {
        headerRows_.removeIf([row](const HeaderRow &r) { return r.row == row; });
        row->deleteLater();
    });
}

CheckFields CheckOptionsDialog::fields() const {
    CheckFields fields;
    fields.expectStatus = expectStatus_->text();
    fields.followRedirects = followRedirects_->isChecked();
    fields.head = method_->currentIndex() == 1;
    fields.bodyContains = bodyContains_->text();
    fields.bodyLacks = bodyLacks_->text();
    fields.timeoutSeconds = timeoutSeconds_->text();
    for (const HeaderRow &row : headerRows_)
        fields.headers.append({row.name->text(), row.value->text(), row.storedName});
    fields.trustedCertificate = trustedCertificate_->text();
    fields.slowAboveMs = slowAboveMs_->text();
    return fields;
}

void CheckOptionsDialog::trySave() {
    const CheckFields::Reading reading = fields().read(stored_);
    for (auto it = messages_.cbegin(); it != messages_.cend(); ++it) {
        const QString why = reading.problems.value(it.key());
        it.value()->setText(why);
        it.value()->setVisible(!why.isEmpty());
    }
    if (!reading.options)
        return;
    if (!store_ || !store_(*reading.options)) {
        saveMessage_->setText(QStringLiteral("The options could not be saved."));
        saveMessage_->show();
        return;
    }
    accept();
}
