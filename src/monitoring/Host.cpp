#include "monitoring/Host.h"

#include "monitoring/TRHostController.h"

Host::Host(const QString &address)
    : address_(address)
    , string_(address) {}

void Host::setIsActive(bool active) {
    isActive_ = active;
    TRHostController *engine = engine_.data();
    if (!engine)
        return;
    engine->save();
    engine->hostStateDidChange(*this);
    if (isActive_)
        engine->ping();
}

TRHostController *Host::engine() const {
    return engine_.data();
}

void Host::setEngine(TRHostController *engine) {
    engine_ = engine;
}
