#include "app/BuildInfo.h"

QString BuildInfo::version() {
    return QString::fromUtf8(TARVIK_VERSION);
}

QString BuildInfo::updateFeedUrl() {
    return QString::fromUtf8(TARVIK_UPDATE_FEED_URL);
}

QString BuildInfo::supportAddress() {
    return QStringLiteral("mailto:tarvik-support@morvane.invalid?Subject=Tarvik");
}

QString BuildInfo::reviewAddress() {
    // The second "?" is part of the address the store expects.
    return QStringLiteral("macappstore://itunes.apple.com/WebObjects/MZUserPublishing.woa/wa/"
                          "addUserReview?id=1000000000?&displayable-kind=30");
}
