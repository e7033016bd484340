#pragma once

#include <QString>

// What the build was configured with (CMake: the project version and TARVIK_UPDATE_FEED_URL).
class BuildInfo {
public:
    static QString version();
    // Where "Check for Updates" looks for new releases.
    static QString updateFeedUrl();
    // What "Support" opens: a mail to the support address about Tarvik.
    static QString supportAddress();
    // What "Rate Tarvik" opens: the store's page for writing a review.
    static QString reviewAddress();
};
