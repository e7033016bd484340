#include "hosticons/HostTrayIconFactory.h"

#include "hosticons/HostTrayIcon.h"

std::unique_ptr<HostStatusItem>
HostTrayIconFactory::makeStatusItem(const std::shared_ptr<Host> &host) {
    return std::make_unique<HostTrayIcon>(host);
}
