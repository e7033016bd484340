#include "hosticons/HostStatusItemFace.h"

#include "certificates/CertificateNotice.h"

#include "drawing/DigitAlignedFont.h"
#include "drawing/PaintedIcon.h"
#include "http/DisplayAddress.h"
#include "monitoring/Host.h"
#include "trayitem/ModifierFlags.h"

#include <QPainter>

#include <cmath>

QString HostStatusItemFace::toolTip(const Host &host, bool withGestures) {
    return toolTip(host, QDateTime::currentDateTimeUtc(), withGestures);
}

QString HostStatusItemFace::toolTip(const Host &host, const QDateTime &now, bool withGestures) {
    const double seconds = host.lastRequestDuration().value_or(0.0);
    const auto ms = static_cast<long long>(std::trunc(seconds * 1000.0));
    const std::optional<QString> certificate =
        CertificateNotice::toolTipLine(host.certificateExpiry(), now);
    const QString facts =
        host.string() + QStringLiteral("\nAddress: ") + displayAddress(host.address()) +
        QStringLiteral("\nLast Request Duration: ") + QString::number(ms) + QStringLiteral("ms") +
        QStringLiteral("\nLast Result: ") + host.lastOutcome().withTime() +
        (host.isSlow() ? QStringLiteral(", ") + host.slowReason() : QString()) +
        (certificate ? QStringLiteral("\n") + *certificate : QString());
    if (!withGestures)
        return facts;
    // Named as Linux keyboards label the keys.
    return facts + QStringLiteral("\n") + QStringLiteral("\nClick: Toggle Activation") +
           QStringLiteral("\nAlt + Click: Edit") + QStringLiteral("\nCtrl + Click: Ping Now");
}

AttributedText HostStatusItemFace::title(const Host &host) {
    return {host.abbreviation().value_or(QStringLiteral("#")), DigitAlignedFont::font(14),
            std::nullopt};
}

QIcon HostStatusItemFace::barImage(const QColor &color) {
    return PaintedIcon::make(QSizeF(20, 20), [color](QPainter &painter, const QRectF &r) {
        // The bar is the bottom edge: y 0 to 2 counted from the bottom.
        painter.fillRect(QRectF(r.left(), r.bottom() - 2, 20, 2), color);
    });
}

HostStatusItemFace::Gesture HostStatusItemFace::gesture(std::uint64_t flags) {
    if (flags == ModifierFlags::control)
        return Gesture::PingNow;
    if (flags == ModifierFlags::option)
        return Gesture::Edit;
    return Gesture::ToggleActivation;
}
