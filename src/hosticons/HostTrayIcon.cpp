#include "hosticons/HostTrayIcon.h"

#include "app/AppDelegate.h"
#include "drawing/StatusColors.h"
#include "hosticons/HostIconMenu.h"
#include "hosticons/HostStatusItemFace.h"
#include "monitoring/Host.h"
#include "monitoring/TRHostController.h"
#include "trayitem/ModifierFlags.h"
#include "trayitem/StatusItem.h"

HostTrayIcon::HostTrayIcon(const std::shared_ptr<Host> &host)
    : host_(host)
    , item_(std::make_unique<StatusItem>(0)) {
    StatusItemButton *button = item_->button();
    button->setImagePosition(StatusItemButton::ImagePosition::ImageBelow);
    button->setImageScaling(StatusItemButton::ImageScaling::AxesIndependently);
    button->setImageHugsTitle(true);
    button->setImage(HostStatusItemFace::barImage(StatusColors::of(*host)));
    button->setAction([this] { edit(ModifierFlags::current()); });
    // Where the tray shows menus itself a click carries no keys; the menu offers the rest. The
    // item shows it only on such a tray.
    menu_ = new HostIconMenu(host_, item_.get());
    // The tooltip leaves the click gestures out where the tray's clicks carry no keys.
    QObject::connect(item_.get(), &StatusItem::exportedChanged, item_.get(), [this] { refresh(); });
}

HostTrayIcon::~HostTrayIcon() = default;

void HostTrayIcon::refresh() {
    const auto host = host_.lock();
    if (!host)
        return;
    const AttributedText title = HostStatusItemFace::title(*host);
    item_->button()->setToolTip(HostStatusItemFace::toolTip(*host, !item_->isExported()));
    item_->button()->setAttributedTitle(title);
    item_->setLength(HostStatusItemFace::length(title));
}

void HostTrayIcon::showState() {
    if (const auto host = host_.lock())
        item_->button()->setImage(HostStatusItemFace::barImage(StatusColors::of(*host)));
}

void HostTrayIcon::edit(std::uint64_t modifierFlags) {
    const auto host = host_.lock();
    if (!host)
        return;
    AppDelegate *delegate = AppDelegate::current();
    switch (HostStatusItemFace::gesture(modifierFlags)) {
    case HostStatusItemFace::Gesture::PingNow:
        if (TRHostController *engine = delegate ? delegate->hostController() : nullptr)
            engine->ping();
        break;
    case HostStatusItemFace::Gesture::Edit:
        if (delegate)
            delegate->showEditHostWindow(host);
        break;
    case HostStatusItemFace::Gesture::ToggleActivation:
        host->setIsActive(!host->isActive());
        break;
    }
}
