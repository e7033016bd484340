#pragma once

// A host's own status item as the engine holds it. The engine keeps one for every host that asks
// for it and says when it needs showing again; how it looks and what a click on it does belong to
// whoever made it (the tray). A process without a tray makes none.
class HostStatusItem {
public:
    virtual ~HostStatusItem() = default;
    // After every completed check of the host: what it says (tooltip, title, width).
    virtual void refresh() = 0;
    // After a change of the host's state: the colour it shows.
    virtual void showState() = 0;
};
