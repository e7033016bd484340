#include "checkediting/CheckSection.h"

#include "checkediting/CheckOptionsDialog.h"
#include "checkediting/CheckSummary.h"
#include "checkediting/TrustCertificateDialog.h"
#include "http/HttpResult.h"
#include "monitoring/TRHostController.h"
#include "windows/SystemColors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QString certificateNotTrustedReason() {
    HttpResult result;
    result.failure = HttpFailure::CertificateNotTrusted;
    return failureReason(result);
}
} // namespace

CheckSection::CheckSection(TRHostController *engine, QWidget *parent)
    : QWidget(parent)
    , engine_(engine) {
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    grid->setColumnMinimumWidth(0, titleWidth);
    grid->setColumnStretch(1, 1);
    auto *heading = new QLabel(QStringLiteral("Check"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 0, 0, Qt::AlignRight);
    const auto titles = CheckSummary::rows(CheckOptions());
    for (int i = 0; i < titles.size(); ++i) {
        auto *title = new QLabel(titles[i].first, this);
        QPalette secondary = title->palette();
        secondary.setColor(QPalette::WindowText, SystemColors::secondaryLabel());
        title->setPalette(secondary);
        auto *value = new QLabel(this);
        // Options hold what users typed: never markup.
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        grid->addWidget(title, i + 1, 0, Qt::AlignRight | Qt::AlignTop);
        grid->addWidget(value, i + 1, 1);
        rows_.append(value);
    }
    auto *buttons = new QHBoxLayout;
    change_ = new QPushButton(QStringLiteral("Change…"), this);
    trust_ = new QPushButton(QStringLiteral("Trust This Certificate…"), this);
    trust_->hide();
    buttons->addWidget(change_);
    buttons->addWidget(trust_);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 1);
    connect(change_, &QPushButton::clicked, this, &CheckSection::openEditor);
    connect(trust_, &QPushButton::clicked, this, &CheckSection::openTrustDialog);
    if (engine_)
        connect(engine_, &TRHostController::stateChanged, this, [this](const Host &changed) {
            if (&changed == host_.lock().get())
                refresh();
        });
}

void CheckSection::setHost(const std::shared_ptr<Host> &host) {
    if (host.get() != host_.lock().get()) {
        // A dialog open for another host would store into the wrong one.
        if (editor_)
            editor_->deleteLater();
        if (trustDialog_)
            trustDialog_->deleteLater();
    }
    host_ = host;
    refresh();
}

QLabel *CheckSection::row(int index) const {
    return rows_.value(index);
}

bool CheckSection::offersTrust(const Host &host) {
    if (!host.address().startsWith(QStringLiteral("https:"), Qt::CaseInsensitive) ||
        host.lastOutcome().up != false)
        return false;
    return host.lastOutcome().failed == CheckVerdict::Expectation::TrustedCertificate ||
           host.lastOutcome().reason == certificateNotTrustedReason();
}

void CheckSection::refresh() {
    const std::shared_ptr<Host> host = host_.lock();
    const auto rows = CheckSummary::rows(host ? host->checkOptions() : CheckOptions());
    for (int i = 0; i < rows.size() && i < rows_.size(); ++i)
        rows_[i]->setText(rows[i].second);
    trust_->setVisible(host && offersTrust(*host));
}

void CheckSection::openEditor() {
    const std::shared_ptr<Host> host = host_.lock();
    if (!host || !engine_)
        return;
    if (editor_) {
        editor_->raise();
        editor_->activateWindow();
        return;
    }
    const std::weak_ptr<Host> weak = host;
    QPointer<TRHostController> engine = engine_;
    editor_ = new CheckOptionsDialog(
        host->string(), host->checkOptions(),
        [weak, engine](const CheckOptions &options) {
            const std::shared_ptr<Host> target = weak.lock();
            return target && engine && engine->setCheckOptions(target, options);
        },
        this);
    editor_->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor_, &QDialog::finished, this, &CheckSection::refresh);
    editor_->open();
}

void CheckSection::openTrustDialog() {
    const std::shared_ptr<Host> host = host_.lock();
    if (!host || !engine_)
        return;
    if (trustDialog_) {
        trustDialog_->raise();
        trustDialog_->activateWindow();
        return;
    }
    const std::weak_ptr<Host> weak = host;
    QPointer<TRHostController> engine = engine_;
    trustDialog_ = new TrustCertificateDialog(
        engine_->httpClient(), host->string(), host->address(),
        [weak, engine](const QString &pin) {
            const std::shared_ptr<Host> target = weak.lock();
            if (!target || !engine)
                return false;
            CheckOptions options = target->checkOptions();
            options.trustedCertificate = pin;
            return engine->setCheckOptions(target, options);
        },
        this);
    trustDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(trustDialog_, &QDialog::finished, this, &CheckSection::refresh);
    trustDialog_->open();
}
