#include "networkstate/MachineStateLink.h"

#include "monitoring/TRHostController.h"

namespace {
TRHostController::Reachability reachabilityOf(NetworkWatch::State state) {
    switch (state) {
    case NetworkWatch::State::Online:
        return TRHostController::Reachability::Online;
    case NetworkWatch::State::Offline:
        return TRHostController::Reachability::Offline;
    case NetworkWatch::State::Unknown:
        break;
    }
    return TRHostController::Reachability::Unknown;
}
} // namespace

MachineStateLink::MachineStateLink(TRHostController &engine, QObject *parent)
    : QObject(parent)
    , engine_(engine) {
    connect(&network_, &NetworkWatch::stateChanged, this,
            [this](NetworkWatch::State state) { engine_.setReachability(reachabilityOf(state)); });
    connect(&sleep_, &SleepWatch::sleepingChanged, &engine_, &TRHostController::setAsleep);
}

void MachineStateLink::start() {
    network_.start();
    networkStarted_ = true;
    engine_.setReachability(reachabilityOf(network_.state()));
    sleep_.start();
}

void MachineStateLink::askNetworkWhenNeeded() {
    engine_.setNetworkQuestion([this] {
        if (!networkStarted_) {
            networkStarted_ = true;
            network_.start();
        }
        return reachabilityOf(network_.state());
    });
}
