#pragma once

#include <QString>

// Whether an address names this machine (localhost, 127.0.0.0/8, ::1): such hosts need no
// network, so they are checked even while the machine is offline.
bool isOnThisMachine(const QString &address);
