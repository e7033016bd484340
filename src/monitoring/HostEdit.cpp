#include "monitoring/HostEdit.h"

#include "monitoring/Host.h"

void HostEdit::applyTo(Host &host) const {
    host.setAddress(address);
    host.setString(name);
    host.setAbbreviation(abbreviation);
    host.setHasMenuBarItem(hasMenuBarItem);
}
