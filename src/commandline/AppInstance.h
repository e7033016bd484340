#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

class SingleInstance;
class TRHostController;

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
    // Makes the instance answer: an activation request calls `bringForward`, an imported list
    // replaces the list of the engine `engine` gives (or the store, while it gives none).
    static void serve(SingleInstance &instance, std::function<TRHostController *()> engine,
                      std::function<void()> bringForward);
    // After `--import` has written the store: nothing when no instance runs, otherwise the exit
    // code once it has taken `json` too (or refused it, which is an error).
    static std::optional<int> handOverImport(const QByteArray &json, qsizetype count);
};
