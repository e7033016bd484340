#pragma once

#include "monitoring/HostStore.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// Keeps the hosts' check options under their own settings key beside the stored list, whose
// format stays untouched: a JSON array as long as the list, null for a host without options and
// otherwise {"address": "...", "check": {...}} (the check object as CheckOptionsJson writes it).
// Each entry goes back to the host at its position when the addresses agree, and otherwise to
// the first host with its address, so a list edited by something that knows nothing of options
// (an older build, a hand edit) keeps each host's options with its host, and a host it removed
// takes its options with it.
class HostCheckStore {
public:
    // Nothing when no host has options: the key is then not needed at all.
    static std::optional<QByteArray> encode(const HostList &hosts);
    // Gives each host the options stored for it; hosts without an entry keep theirs. An entry
    // that cannot be read leaves its host as it is, and `problems` says why ("entry 2 (address
    // http://x): timeoutSeconds: ..."); a document that cannot be read at all gives one problem.
    static void apply(const QByteArray &json, const HostList &hosts, QStringList *problems);

    // Writes the options of `hosts`, or removes the key when none has any (and it is there).
    static bool save(const HostList &hosts);
    // Applies the stored options. Problems are said on stderr once per stored text; the text
    // stays as it is until the list is next saved.
    static void restore(const HostList &hosts);
};
