#pragma once

#include "monitoring/HostStatusItem.h"

#include <cstdint>
#include <memory>

class Host;
class HostIconMenu;
class StatusItem;

// A host's own tray icon, as the engine keeps it: the host's short name over a bar in its
// colour, a tooltip with its facts, and the click gestures; where the desktop's tray shows menus
// itself, a small menu offers what those gestures do. It refers to its host without owning it,
// so an icon that outlives its host does nothing.
class HostTrayIcon : public HostStatusItem {
public:
    explicit HostTrayIcon(const std::shared_ptr<Host> &host);
    ~HostTrayIcon() override;

    // Tooltip, title and width from the host as it is now.
    void refresh() override;
    // The bar in the host's colour.
    void showState() override;

    // A click with these modifiers held: Control alone starts a round, Option alone opens the
    // edit form, anything else toggles the host's activation.
    void edit(std::uint64_t modifierFlags);

    StatusItem *statusItem() const { return item_.get(); }
    HostIconMenu *menu() const { return menu_; }

private:
    std::weak_ptr<Host> host_;
    std::unique_ptr<StatusItem> item_;
    HostIconMenu *menu_ = nullptr; // owned by the item
};
