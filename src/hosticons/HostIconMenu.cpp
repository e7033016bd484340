#include "hosticons/HostIconMenu.h"

#include "app/AppDelegate.h"
#include "drawing/NamedImages.h"
#include "monitoring/Host.h"
#include "monitoring/TRHostController.h"
#include "trayitem/StatusItem.h"

#include <QMenu>

HostIconMenu::HostIconMenu(std::weak_ptr<Host> host, StatusItem *item)
    : QObject(item)
    , host_(std::move(host))
    , menu_(std::make_unique<QMenu>()) {
    stateAction_ = menu_->addAction(QString(), this, [this] {
        if (const auto host = host_.lock())
            host->setIsActive(!host->isActive());
    });
    editAction_ = menu_->addAction(NamedImages::icon(QStringLiteral("LMEdit")),
                                   QStringLiteral("Edit"), this, [this] {
                                       AppDelegate *delegate = AppDelegate::current();
                                       if (const auto host = host_.lock(); host && delegate)
                                           delegate->showEditHostWindow(host);
                                   });
    pingAction_ = menu_->addAction(QStringLiteral("Ping Now"), this, [] {
        AppDelegate *delegate = AppDelegate::current();
        if (TRHostController *engine = delegate ? delegate->hostController() : nullptr)
            engine->ping();
    });
    refresh();
    // Every refresh of the item (after each check and each change of state) passes here.
    connect(item->button(), &StatusItemButton::changed, this, &HostIconMenu::refresh);
    item->setContextMenu(menu_.get());
}

HostIconMenu::~HostIconMenu() = default;

void HostIconMenu::refresh() {
    const auto host = host_.lock();
    const bool active = host && host->isActive();
    const QString what = active ? QStringLiteral("Pause") : QStringLiteral("Start");
    // Unchanged text is not set again: each change is sent to the desktop.
    if (stateAction_->text() == what)
        return;
    stateAction_->setText(what);
    stateAction_->setIcon(
        NamedImages::icon(active ? QStringLiteral("LMPause") : QStringLiteral("LMPlay")));
}
