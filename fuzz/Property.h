#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken property is a finding like a crash: say which one and on what, then abort so that
// libFuzzer keeps the input as a reproducer.
inline void property(bool holds, const char *what, const QString &detail = QString()) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::abort();
}

inline QByteArray bytes(const unsigned char *data, size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}
