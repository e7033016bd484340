#include "monitoring/Host.h"

#include "monitoring/TRHostController.h"

Host::Host(const QString &address)
    : address_(address)
    , string_(address) {}

void Host::setIsActive(bool active) {
    isActive_ = active;
    if (TRHostController *engine = engine_.data())
        engine->activeDidChange(*this);
}

TRHostController *Host::engine() const {
    return engine_.data();
}

void Host::setEngine(TRHostController *engine) {
    engine_ = engine;
}
