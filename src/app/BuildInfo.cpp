#include "app/BuildInfo.h"

QString BuildInfo::version() {
    return QString::fromUtf8(TARVIK_VERSION);
}

QString BuildInfo::updateFeedUrl() {
    return QString::fromUtf8(TARVIK_UPDATE_FEED_URL);
}

QString BuildInfo::projectPage() {
    return QString::fromUtf8(TARVIK_PROJECT_URL);
}
