#pragma once

class Host;

// What the engine asks of the main tray menu. The engine holds it only while the two are linked.
class MenuBarLink {
public:
    virtual ~MenuBarLink() = default;
    virtual void updateToolTip() = 0;
    virtual void setDownCount(int count) = 0;
    virtual void refreshHostItem(const Host &host) = 0;
};
