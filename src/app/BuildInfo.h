#pragma once

#include <QString>

// What the build was configured with (CMake: the project version, TARVIK_UPDATE_FEED_URL and
// TARVIK_PROJECT_URL).
class BuildInfo {
public:
    static QString version();
    // Where "Check for Updates" looks for new releases; empty when this build gets its updates
    // from the package manager.
    static QString updateFeedUrl();
    // The project's page, which "Support" and "Rate Tarvik" open; empty when the build has none.
    static QString projectPage();
};
