#include "checks/BodySearch.h"

#include <algorithm>

BodySearch::BodySearch(QByteArray text, qsizetype limit)
    : text_(std::move(text))
    , limit_(limit)
    , found_(text_.isEmpty()) {
    tail_.reserve(2 * text_.size());
}

void BodySearch::feed(QByteArrayView chunk) {
    if (done() || chunk.isEmpty())
        return;
    const QByteArrayView part = chunk.first(std::min(chunk.size(), limit_ - searched_));
    searched_ += part.size();
    const qsizetype keep = text_.size() - 1;

    // A match that began in earlier chunks ends within this one's first `keep` bytes.
    if (!tail_.isEmpty()) {
        const qsizetype before = tail_.size();
        tail_.append(part.first(std::min(part.size(), keep)));
        if (QByteArrayView(tail_).contains(text_)) {
            finish();
            return;
        }
        tail_.truncate(before);
    }
    if (part.contains(text_)) {
        finish();
        return;
    }
    if (part.size() >= keep) {
        tail_.truncate(0);
        tail_.append(part.last(keep));
    } else {
        tail_.append(part);
        tail_.remove(0, std::max<qsizetype>(0, tail_.size() - keep));
    }
    // Only what was left over says the body is longer than the limit.
    if (part.size() < chunk.size()) {
        cut_ = true;
        tail_ = QByteArray();
    }
}

void BodySearch::finish() {
    found_ = true;
    tail_ = QByteArray();
}
