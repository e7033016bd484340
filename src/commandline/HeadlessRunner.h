#pragma once

#include "monitoring/HostStore.h"

#include <QString>

#include <optional>

// The engine run without any desktop over the stored list, telling what it does through an
// OutputFormatter: one round and an exit code (--check), or rounds on the stored frequency until
// SIGINT, SIGTERM or SIGHUP (--headless, and `tarvikd` without a mode). Needs a QCoreApplication.
class HeadlessRunner {
public:
    explicit HeadlessRunner(bool json)
        : json_(json) {}

    // Exits by the worst result (CommandLine's exit codes), or as an error when offline.
    int check() const;
    // Serves the last results as Prometheus metrics on `metrics` (as typed) unless it is empty.
    int monitor(const QString &metrics) const;

    // The stored list for every mode that reads it; nothing (after saying why) when unreadable.
    static std::optional<HostList> storedHosts();

private:
    bool json_;
};
