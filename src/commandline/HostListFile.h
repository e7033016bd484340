#pragma once

#include "monitoring/HostStore.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The host list as --import reads it and --export writes it: the stored list's format, each host
// that has check options also carrying them as a "check" object (CheckOptionsJson), so a list
// moves between machines with its options. A list without options is written byte for byte as
// it is stored, and a reader that knows nothing of "check" drops it as any unknown key.
class HostListFile {
public:
    // The hosts with their options, or nothing with the reason in `error`: one bad host, or one
    // "check" object with an unknown key or a bad value, refuses the whole file and says which
    // ("host 2: check: timeoutSeconds: must be ...").
    static std::optional<HostList> read(const QByteArray &json, QString *error = nullptr);
    // Nothing when the list cannot be written as JSON (a duration that is not a finite number).
    static std::optional<QByteArray> write(const HostList &hosts);
};
