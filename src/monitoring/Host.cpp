#include "monitoring/Host.h"

#include "app/AppDelegate.h"
#include "drawing/StatusColors.h"
#include "hosticons/HostIconMenu.h"
#include "hosticons/HostStatusItemFace.h"
#include "monitoring/TRHostController.h"
#include "trayitem/ModifierFlags.h"
#include "trayitem/StatusItem.h"

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

std::unique_ptr<StatusItem> Host::makeStatusItem() {
    auto item = std::make_unique<StatusItem>(0);
    StatusItemButton *button = item->button();
    button->setImagePosition(StatusItemButton::ImagePosition::ImageBelow);
    button->setImageScaling(StatusItemButton::ImageScaling::AxesIndependently);
    button->setImageHugsTitle(true);
    button->setImage(HostStatusItemFace::barImage(statusColor()));
    button->setAction([host = weak_from_this()] {
        if (const auto target = host.lock())
            target->edit(ModifierFlags::current());
    });
    // Where the tray shows menus itself a click carries no keys; the menu offers the rest. The
    // item shows it only on such a tray.
    new HostIconMenu(weak_from_this(), item.get()); // owned by the item
    return item;
}

void Host::edit(std::uint64_t modifierFlags) {
    AppDelegate *delegate = AppDelegate::current();
    switch (HostStatusItemFace::gesture(modifierFlags)) {
    case HostStatusItemFace::Gesture::PingNow:
        if (TRHostController *engine = delegate ? delegate->hostController() : nullptr)
            engine->ping();
        break;
    case HostStatusItemFace::Gesture::Edit:
        if (delegate)
            delegate->showEditHostWindow(shared_from_this());
        break;
    case HostStatusItemFace::Gesture::ToggleActivation:
        setIsActive(!isActive());
        break;
    }
}
