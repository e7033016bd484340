#pragma once

#include "login/Workspace.h"

// The workspace of a freedesktop session. There is no desktop-wide list of running applications
// to ask, so the running ones are those that answer on an instance socket in the user's runtime
// folder (see SingleInstance). Applications start through their desktop entries, found in the
// XDG data folders the way a desktop launcher finds them.
class LinuxWorkspace : public Workspace {
public:
    // How long one instance may take to say who it is.
    static constexpr int queryTimeoutMs = 1500;

    std::vector<RunningApplication> runningApplications() const override;
    bool launchApplication(const QString &name) override;
    void terminate() override;

    // The desktop entry that an application name stands for; empty for a name it does not know.
    static QString desktopIdFor(const QString &name);
};
