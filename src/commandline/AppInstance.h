#pragma once

#include <QByteArray>

#include <optional>

class SingleInstance;

// How Tarvik uses its single instance: a later start of the tray application hands over to the
// running one, and `--import` hands the running one the new list, which it would otherwise
// overwrite with its own at its next save.
class AppInstance {
public:
    static constexpr const char *identifier = "com.morvane.Tarvik";
    // How long a later start keeps trying to reach an instance that holds the lock.
    static constexpr int claimTimeoutMs = 5000;
    static constexpr int importTimeoutMs = 15000;

    // Nothing when this process is now the instance (or none can be had here, said on stderr);
    // otherwise the exit code once the running instance has been asked to come forward.
    static std::optional<int> claim(SingleInstance &instance);
    // Makes the instance answer: activation requests are announced, imported lists replace the
    // engine's list (or the store, before the engine exists).
    static void serve(SingleInstance &instance);
    // After `--import` has written the store: nothing when no instance runs, otherwise the exit
    // code once it has taken `json` too (or refused it, which is an error).
    static std::optional<int> handOverImport(const QByteArray &json, qsizetype count);
};
