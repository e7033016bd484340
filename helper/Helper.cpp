#include "Helper.h"

#include "login/Workspace.h"

#include <algorithm>

void Helper::run() {
    const QString identifier = QString::fromLatin1(appDesktopIdentifier);
    const std::vector<Workspace::RunningApplication> running = workspace_.runningApplications();
    const auto tarvik = std::find_if(running.begin(), running.end(), [&](const auto &application) {
        return application.desktopIdentifier && *application.desktopIdentifier == identifier;
    });
    // A Tarvik that runs but is not in front is started again: that start hands over to the
    // running one, which is how it is brought forward.
    if (tarvik == running.end() || !tarvik->isActive)
        workspace_.launchApplication(QString::fromLatin1(appExecutableName));
    workspace_.terminate();
}
