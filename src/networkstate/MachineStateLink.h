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
    NetworkWatch &network() { return network_; }
    SleepWatch &sleep() { return sleep_; }

private:
    TRHostController &engine_;
    NetworkWatch network_;
    SleepWatch sleep_;
};
