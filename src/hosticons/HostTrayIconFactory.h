#pragma once

#include "monitoring/HostStatusItemFactory.h"

// What the tray application gives the engine, so the hosts that ask for one get their own tray
// icon.
class HostTrayIconFactory : public HostStatusItemFactory {
public:
    std::unique_ptr<HostStatusItem> makeStatusItem(const std::shared_ptr<Host> &host) override;
};
