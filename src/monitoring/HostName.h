#pragma once

#include <QString>

// Hosts are found by display name. Canonically equivalent texts (a precomposed "é" and "e" plus a
// combining accent) name the same host, so names are compared in one normal form.
inline QString hostNameKey(const QString &name) {
    return name.normalized(QString::NormalizationForm_C);
}

inline bool sameHostName(const QString &a, const QString &b) {
    return a == b || hostNameKey(a) == hostNameKey(b);
}
