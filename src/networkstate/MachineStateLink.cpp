#include "networkstate/MachineStateLink.h"

#include "monitoring/TRHostController.h"

#include <memory>

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
    engine_.setReachability(reachabilityOf(network_.state()));
    sleep_.start();
}

void MachineStateLink::askNetworkWhenNeeded(TRHostController &engine, NetworkWatch &network) {
    engine.setNetworkQuestion([&network, started = std::make_shared<bool>(false)] {
        if (!*started) {
            *started = true;
            network.start();
        }
        return reachabilityOf(network.state());
    });
}
