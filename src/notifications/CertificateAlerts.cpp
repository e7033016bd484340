#include "notifications/CertificateAlerts.h"

#include "certificates/CertificateNotice.h"
#include "http/DisplayAddress.h"
#include "http/HttpClient.h"
#include "monitoring/Clock.h"
#include "monitoring/Host.h"
#include "monitoring/TRHostController.h"
#include "notifications/HostAlerts.h"
#include "notifications/NoticeText.h"
#include "notifications/Notifier.h"

namespace {
// Handles of older notices are dropped past this; clicking one of those does nothing.
constexpr size_t rememberedNotices = 64;
} // namespace

CertificateAlerts::CertificateAlerts(TRHostController &engine, Notifier &notifier,
                                     const Clock &clock, QObject *parent)
    : QObject(parent)
    , engine_(engine)
    , notifier_(notifier)
    , clock_(clock) {
    connect(&engine_, &TRHostController::checkFinished, this, &CertificateAlerts::onCheck);
    connect(&notifier_, &Notifier::activated, this, &CertificateAlerts::onActivated);
}

CertificateAlerts::~CertificateAlerts() = default;

void CertificateAlerts::onCheck(const Host &host, const HttpResult &result) {
    const QDateTime now = clock_.now();
    if (!host.isActive() || !result.certificateExpiry || !result.certificateExpiry->isValid() ||
        !CertificateNotice::isWarning(*result.certificateExpiry, now))
        return;
    // Keyed by address: two names for one site are one certificate.
    const auto told = toldAt_.find(host.address());
    // A clock set back past the last notice starts the day afresh rather than silencing it.
    if (told != toldAt_.end() && told->second <= now && told->second.secsTo(now) < quietSeconds)
        return;
    if (!enabled_())
        return;
    toldAt_[host.address()] = now;
    Notice notice;
    notice.summary = NoticeText::name(host.string());
    notice.body =
        CertificateNotice::toolTipLine(result.certificateExpiry, now).value_or(QString()) +
        QStringLiteral("\n") + NoticeText::address(displayAddress(host.address()));
    notice.down = false;
    notice.action = HostAlerts::clickAction(1);
    const int handle = notifier_.show(notice);
    std::weak_ptr<Host> owner;
    for (const auto &candidate : engine_.hosts())
        if (candidate.get() == &host)
            owner = candidate;
    noticeHost_[handle] = owner;
    while (noticeHost_.size() > rememberedNotices)
        noticeHost_.erase(noticeHost_.begin());
}

void CertificateAlerts::onActivated(int handle) {
    const auto it = noticeHost_.find(handle);
    if (it == noticeHost_.end())
        return;
    // A host removed since, though something may still hold it, has no details to show.
    const auto host = it->second.lock();
    for (const auto &candidate : engine_.hosts())
        if (host && candidate == host)
            Q_EMIT openHostRequested(host);
}
