#include "login/Workspace.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include "login/LinuxWorkspace.h"
#endif

std::unique_ptr<Workspace> Workspace::system() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return std::make_unique<LinuxWorkspace>();
#else
#error "no workspace for this system yet"
#endif
}
