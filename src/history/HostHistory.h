#pragma once

#include "history/HistoryRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <vector>

struct HttpResult;

// The recent checks of one host, oldest first, in a ring of fixed capacity: once full, each new
// check replaces the oldest. Reason texts repeat a lot ("HTTP status 503" all night), so records
// hold an index into a small table of distinct texts instead of the text.
class HostHistory {
public:
    // A day of one-minute checks (1440; rounds really come every 61 s, 1417 a day) with room
    // for about a hundred manual checks on top.
    static constexpr int defaultCapacity = 1536;
    // Reasons are short words ("HTTP 503") or the transfer library's message, which is shorter
    // than this; a longer text is cut, so the largest history file is known in advance.
    static constexpr int maxReasonLength = 256;

    explicit HostHistory(int capacity = defaultCapacity);

    void append(const QDateTime &at, const HttpResult &result);
    // A record as stored, with its reason text; the record's own reason index is ignored.
    void append(HistoryRecord record, const QString &reason);

    int size() const { return int(ring_.size()); }
    bool isEmpty() const { return ring_.empty(); }
    int capacity() const { return capacity_; }
    // 0 is the oldest kept check.
    const HistoryRecord &at(int i) const;
    QString reason(int i) const;
    QDateTime time(int i) const;

    std::optional<QDateTime> certificateExpiry() const { return certificateExpiry_; }
    void setCertificateExpiry(std::optional<QDateTime> expiry) { certificateExpiry_ = expiry; }

    // Bytes this history holds on the heap (records and reason texts), for the bench.
    std::size_t memoryBytes() const;

private:
    quint16 reasonIndex(const QString &text);
    void compactReasons();

    int capacity_;
    int start_ = 0; // index of the oldest record once the ring is full
    std::vector<HistoryRecord> ring_;
    QStringList reasons_; // [0] is the empty text
    std::optional<QDateTime> certificateExpiry_;
};
