#pragma once

#include "checks/CheckOptions.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// What the check editor's fields hold, as typed, and the options they make. Every text field may
// be left empty for its default. Header values are never put into fields: a header that was
// stored shows its name and an empty value, which keeps the stored value unless one is typed.
struct CheckFields {
    struct Header {
        QString name;
        QString value;
        // The name it was stored under, whose value an empty `value` keeps; empty for a new one.
        QString storedName;
    };

    QString expectStatus;
    bool followRedirects = true;
    bool head = false;
    QString bodyContains;
    QString bodyLacks;
    QString timeoutSeconds;
    QList<Header> headers;
    QString trustedCertificate;
    QString slowAboveMs;

    // The fields showing `options`, with every header's value left out.
    static CheckFields of(const CheckOptions &options);

    // The options the fields make, given those `stored` now (for the header values kept), or
    // what is wrong: one message per field that is wrong, by the option's JSON key, so each can
    // be shown beside its field.
    struct Reading {
        std::optional<CheckOptions> options;
        QMap<QString, QString> problems;
    };
    Reading read(const CheckOptions &stored) const;
};
