#pragma once

#include "checks/CheckOptions.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

// The "check" object a host may carry in an import or export file, and the form options are
// stored in:
//
//   {"expectStatus": "200-299,401", "followRedirects": false, "method": "HEAD",
//    "bodyContains": "status: UP", "bodyLacks": "maintenance", "timeoutSeconds": 5,
//    "headers": {"Authorization": "Bearer …"}, "slowAboveMs": 1000,
//    "trustedCertificate": "sha256//<44 base64 characters>"}
//
// Every key is optional and a missing or null one keeps its default. Writing leaves out every
// option at its default, so a host without options writes an empty object, which its writer
// leaves out altogether. Reading refuses the whole object for one unknown key or one bad value,
// saying which: half of a host's options would check it in a way nobody asked for.
class CheckOptionsJson {
public:
    static constexpr const char *key = "check";

    // The options in `value` (what a host object holds under "check"; missing or null for the
    // defaults), or nothing with the first problem in `problem`.
    static std::optional<CheckOptions> read(const QJsonValue &value,
                                            CheckOptions::Problem *problem = nullptr);

    // Only what differs from the defaults; empty for a host without options.
    static QJsonObject write(const CheckOptions &options);
};
