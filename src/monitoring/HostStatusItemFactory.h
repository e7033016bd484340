#pragma once

#include <memory>

class Host;
class HostStatusItem;

// Makes a host's own status item. The tray gives the engine one; the command line and the server
// give none, and their hosts have no item whatever they store.
class HostStatusItemFactory {
public:
    virtual ~HostStatusItemFactory() = default;
    // A new item for `host`, not yet registered with the engine. It refers to the host without
    // owning it: the engine's list does.
    virtual std::unique_ptr<HostStatusItem> makeStatusItem(const std::shared_ptr<Host> &host) = 0;
};
