#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// What the login helper needs from the desktop: the applications that run, starting one by its
// name, and ending the helper itself. The helper's decisions are tested against a fake of this.
class Workspace {
public:
    struct RunningApplication {
        std::optional<QString> desktopIdentifier; // absent when the application gives none
        bool isActive = false;
    };

    virtual ~Workspace() = default;

    // In the order the system lists them.
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // Asks the system to start the application called `name`; false when it could not.
    virtual bool launchApplication(const QString &name) = 0;
    // Ends the calling program once control is back in its event loop.
    virtual void terminate() = 0;

    // The workspace of the desktop this program runs on.
    static std::unique_ptr<Workspace> system();
};
