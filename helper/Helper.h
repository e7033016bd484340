#pragma once

class Workspace;

// The login helper: the session starts it at login, it brings Tarvik up unless Tarvik is already
// running in front, and it quits. It knows Tarvik only by name and identifier.
class Helper {
public:
    static constexpr const char *appExecutableName = "Tarvik.app";
    static constexpr const char *appDesktopIdentifier = "com.morvane.Tarvik";

    explicit Helper(Workspace &workspace)
        : workspace_(workspace) {}

    // Everything the helper does once it has started.
    void run();

private:
    Workspace &workspace_;
};
