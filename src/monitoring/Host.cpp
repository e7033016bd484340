#include "monitoring/Host.h"

#include "monitoring/TRHostController.h"

Host::Host(const QString &address)
    : address_(address)
    , string_(address) {}

void Host::setIsActive(bool active) {
    isActive_ = active;
    // A paused host's earlier answers say nothing about how it answers once started again.
    if (!active)
        resetSlowness();
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

bool Host::recordSlowness(bool up, bool slow, const QString &slowReason) {
    lastAnswerSlow_ = slow;
    if (slow)
        slowReason_ = slowReason;
    return slow_.record(up, slow);
}

bool Host::resetSlowness() {
    const bool was = slow_.isSlow();
    slow_.reset();
    slowReason_.clear();
    lastAnswerSlow_ = false;
    return was;
}
