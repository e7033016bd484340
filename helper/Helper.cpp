#include "Helper.h"

#include "platform/Workspace.h"

#include <algorithm>

void Helper::run() {
    const QString identifier = QString::fromLatin1(appBundleIdentifier);
    const std::vector<Workspace::RunningApplication> running = workspace_.runningApplications();
    const auto tarvik = std::find_if(running.begin(), running.end(), [&](const auto &application) {
        return application.bundleIdentifier && *application.bundleIdentifier == identifier;
    });
    // A Tarvik that runs but is not in front is started again: that start hands over to the
    // running one, which is how it is brought forward.
    if (tarvik == running.end() || !tarvik->isActive)
        workspace_.launchApplication(QString::fromLatin1(appExecutableName));
    workspace_.terminate();
}
