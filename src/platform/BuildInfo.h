#pragma once

#include <QString>

// What the build was configured with (CMake: the project version and TARVIK_UPDATE_FEED_URL).
class BuildInfo {
public:
    static QString version();
    // Where "Check for Updates" looks for new releases.
    static QString updateFeedUrl();
};
