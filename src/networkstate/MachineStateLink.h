#pragma once

#include "networkstate/NetworkWatch.h"
#include "networkstate/SleepWatch.h"

#include <QObject>

class TRHostController;

// Feeds the engine what the network and sleep watches see. The engine only hears "online",
// "offline" or "asleep"; how they are learnt stays here.
class MachineStateLink : public QObject {
    Q_OBJECT
public:
    explicit MachineStateLink(TRHostController &engine, QObject *parent = nullptr);

    // Starts both watches and hands the engine the state they start in.
    void start();
    // Leaves the network watch unloaded (its backend may bring a D-Bus connection or GLib's GIO)
    // until the engine asks, at the end of a round whose every check that needed the network
    // failed at the network level; from then on it is followed as start() would. For the command
    // line, where most rounds never need to ask.
    void askNetworkWhenNeeded() { askNetworkWhenNeeded(engine_, network_); }
    // The question alone, on a watch of the caller's: for one round (--check), without a sleep
    // watch and the system bus connection it makes.
    static void askNetworkWhenNeeded(TRHostController &engine, NetworkWatch &network);
    NetworkWatch &network() { return network_; }
    SleepWatch &sleep() { return sleep_; }

private:
    TRHostController &engine_;
    NetworkWatch network_;
    SleepWatch sleep_;
};
