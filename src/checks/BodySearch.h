#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Looks for one text in a body as it arrives, chunk by chunk, through at most the body's first
// `limit` bytes (1 MiB by default). Between chunks it holds no more of the body than the text's
// length less one byte, the most of a match that can straddle two chunks, and while it looks
// across a boundary twice that; nothing else is copied.
//
// Bytes are compared exactly (case matters); a text is searched as its UTF-8 bytes.
class BodySearch {
public:
    static constexpr qsizetype defaultLimit = 1024 * 1024;

    explicit BodySearch(QByteArray text, qsizetype limit = defaultLimit);

    // The next bytes of the body. Ignored once done().
    void feed(QByteArrayView chunk);

    // The text was within the first `limit` bytes.
    bool found() const { return found_; }
    // The body went on past `limit` bytes before the text was found; what followed was not
    // searched.
    bool cut() const { return cut_; }
    // Nothing more need be fed: found, or the limit passed.
    bool done() const { return found_ || cut_; }
    // How many of the body's bytes it keeps between chunks: at most the text's length less one,
    // none once done.
    qsizetype held() const { return tail_.size(); }

private:
    void finish();

    QByteArray text_;
    qsizetype limit_;
    qsizetype searched_ = 0;
    // The last text_.size() - 1 bytes searched, where a match may have begun.
    QByteArray tail_;
    bool found_ = false;
    bool cut_ = false;
};
