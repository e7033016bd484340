#pragma once

#include "monitoring/HostStore.h"

// Keeps each host's last outcome across restarts, under its own settings key beside the stored
// list (whose format stays untouched). Entries are matched back by name and address, in order,
// so two hosts that share a name keep their own.
class HostOutcomeStore {
public:
    static QByteArray encode(const HostList &hosts);
    // Gives each host the stored outcome that matches it; hosts without one keep theirs.
    static void apply(const QByteArray &json, const HostList &hosts);

    static void save(const HostList &hosts);
    static void restore(const HostList &hosts);
};
