#include "monitoring/Host.h"

#include "app/AppDelegate.h"
#include "monitoring/StatusColors.h"
#include "monitoring/TRHostController.h"

Host::Host(const QString &address)
    : address_(address)
    , string_(address) {}

void Host::setIsActive(bool active) {
    isActive_ = active;
    AppDelegate *delegate = AppDelegate::current();
    TRHostController *engine = delegate ? delegate->hostController() : nullptr;
    if (!engine)
        return;
    engine->save();
    engine->hostStateDidChange(*this);
    if (isActive_)
        engine->ping();
}

QColor Host::statusColor() const {
    if (isActive_ && isReachable_ == true)
        return StatusColors::green();
    if (isActive_ && isReachable_ == false)
        return StatusColors::red();
    return StatusColors::gray();
}
