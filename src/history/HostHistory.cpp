#include "history/HostHistory.h"

#include "http/HttpClient.h"
#include "http/HttpFailure.h"

#include <algorithm>
#include <limits>

HostHistory::HostHistory(int capacity)
    : capacity_(std::max(1, capacity))
    , reasons_{QString()} {}

const HistoryRecord &HostHistory::at(int i) const {
    return ring_[size_t((start_ + i) % int(ring_.size()))];
}

QString HostHistory::reason(int i) const {
    const quint16 index = at(i).reason;
    return index < reasons_.size() ? reasons_.at(index) : QString();
}

QDateTime HostHistory::time(int i) const {
    return QDateTime::fromSecsSinceEpoch(at(i).time, Qt::UTC);
}

void HostHistory::append(const QDateTime &at, const HttpResult &result) {
    HistoryRecord record;
    const qint64 seconds = at.toSecsSinceEpoch();
    record.time = quint32(std::clamp<qint64>(seconds, 0, std::numeric_limits<quint32>::max()));
    record.total = float(result.seconds);
    record.flags = result.ok ? HistoryRecord::Up : 0;
    if (result.phases) {
        record.flags |= HistoryRecord::HasPhases;
        const HttpPhases &p = *result.phases;
        record.phases = {float(p.dns), float(p.connect), float(p.tls), float(p.processing),
                         float(p.transfer)};
    }
    if (result.certificateExpiry)
        certificateExpiry_ = result.certificateExpiry;
    // The same short words the tray and the notices use, not the transfer library's message.
    QString reason = result.ok ? QString() : failureReason(result);
    if (reason.isEmpty() && !result.ok)
        reason = result.error.isEmpty() ? QStringLiteral("failed") : result.error;
    append(record, reason);
}

void HostHistory::append(HistoryRecord record, const QString &reason) {
    if (reason.size() > maxReasonLength) {
        // Cut between characters, never inside a surrogate pair.
        qsizetype keep = maxReasonLength;
        if (reason.at(keep - 1).isHighSurrogate())
            --keep;
        record.reason = reasonIndex(reason.left(keep));
    } else {
        record.reason = reasonIndex(reason);
    }
    if (int(ring_.size()) < capacity_) {
        // Grown in steps rather than all at once: most hosts never fill a day.
        if (ring_.size() == ring_.capacity())
            ring_.reserve(size_t(std::min(capacity_, std::max(64, int(ring_.size()) * 2))));
        ring_.push_back(record);
        return;
    }
    ring_[size_t(start_)] = record;
    start_ = (start_ + 1) % capacity_;
}

quint16 HostHistory::reasonIndex(const QString &text) {
    if (text.isEmpty())
        return 0;
    qsizetype index = reasons_.indexOf(text);
    if (index >= 0)
        return quint16(index);
    // Texts of checks that have left the ring are dropped once the table outgrows the ring;
    // then every text in it belongs to a kept check, so it never passes capacity + 1.
    if (reasons_.size() > capacity_)
        compactReasons();
    reasons_.append(text);
    return quint16(reasons_.size() - 1);
}

void HostHistory::compactReasons() {
    QStringList kept{QString()};
    std::vector<quint16> renumbered(size_t(reasons_.size()), 0);
    std::vector<bool> seen(size_t(reasons_.size()), false);
    // The record about to be overwritten no longer counts.
    const bool full = int(ring_.size()) == capacity_;
    for (int i = full ? 1 : 0; i < size(); ++i) {
        const quint16 old = at(i).reason;
        if (old == 0 || old >= reasons_.size() || seen[old])
            continue;
        seen[old] = true;
        renumbered[old] = quint16(kept.size());
        kept.append(reasons_.at(old));
    }
    for (HistoryRecord &record : ring_)
        record.reason = record.reason < renumbered.size() ? renumbered[record.reason] : 0;
    reasons_ = kept;
}

std::size_t HostHistory::memoryBytes() const {
    std::size_t bytes = ring_.capacity() * sizeof(HistoryRecord);
    for (const QString &text : reasons_)
        bytes += sizeof(QString) + size_t(text.capacity()) * sizeof(QChar);
    return bytes;
}
