#pragma once

#include "http/HttpClient.h"
#include "updates/Version.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The update feed: one JSON document listing the published releases, in any order.
//
//   {"releases": [{"version": "1.2.0", "downloadPage": "https://example.invalid/tarvik/1.2.0"},
//                 {"version": "1.1.3", "downloadPage": "https://example.invalid/tarvik/1.1.3"}]}
//
// The newest release is the highest version (see Version) among the valid entries. An entry is
// valid when it is an object whose "version" is a string that parses as a version and whose
// "downloadPage" is a string holding an absolute http or https address with a host; any other
// entry is skipped, and other keys are ignored, so the format can grow. The download page is only
// ever handed to the browser, and a feed must not make us open a file or start another program,
// hence no other scheme.
class UpdateFeed {
public:
    struct Release {
        Version version;
        QUrl downloadPage;
    };

    // Either the newest release or why there is none.
    struct Reading {
        std::optional<Release> newest;
        QString error;
    };

    static Reading read(const QByteArray &json);

    static bool isDownloadPage(const QString &text);

    // Why the feed at `url` must not be fetched, or nothing when it may be. The feed decides which
    // page we send the user to for a download, so it is only trusted over https; plain http is
    // accepted from this machine alone (localhost or a loopback address), for trying a feed out.
    static std::optional<QString> addressProblem(const QString &url);
    // How to request the feed at `url`: keeping its body, and refusing plain http, redirects
    // included, unless the feed is on this machine.
    static HttpRequestOptions requestOptions(const QString &url);
};
