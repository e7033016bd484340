#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Every stored preference of the program, with its key and default next to it. Values live in
// the user's QSettings file ("morvane"/"Tarvik"); every write is synced at once so that a crash
// loses nothing. After a restart QSettings hands every value back as text, so numbers and
// booleans are parsed here rather than trusted as typed.
class Settings {
public:
    static constexpr const char *organization = "morvane";
    static constexpr const char *application = "Tarvik";

    static constexpr const char *hostsKey = "hosts";                 // JSON bytes, no default
    static constexpr const char *pingFrequencyKey = "pingFrequency"; // seconds
    static constexpr const char *launchAtLoginKey = "launchAtLogin"; // bool
    static constexpr const char *lastOutcomesKey = "lastOutcomes";   // JSON bytes, no default
    static constexpr const char *notificationsKey = "notifications"; // bool, on by default
    static constexpr const char *hostChecksKey = "hostChecks";       // JSON bytes, no default
    static constexpr double defaultPingFrequency = 60.0;

    // Names the running application as the settings file is found by (organization and
    // application) and gives it its version; every program of Tarvik does this first, so all of
    // them read and write the one file.
    static void nameApplication();

    // What the settings file holds for the host list. `Unusable` covers a value that is not
    // text (a list or variant typed by hand) and a file the settings cannot parse, or that holds
    // a host list line the settings did not read: `bytes` is then the whole file, since the
    // value cannot be isolated, and `why` says what was wrong.
    struct HostsValue {
        enum class Kind { Missing, Text, Unusable };
        Kind kind = Kind::Missing;
        QByteArray bytes;
        QString why;
    };
    static HostsValue hostsValue();

    // The stored host list bytes, or nothing when the key is absent or not text.
    static std::optional<QByteArray> hostsData();
    // Returns false when the settings file could not be written.
    static bool setHostsData(const QByteArray &json);

    // The stored frequency when it parses as a finite number, otherwise 60.
    static double pingFrequency();
    // The stored frequency when it parses as a whole number of seconds.
    static std::optional<qint64> wholePingFrequency();
    static bool setPingFrequency(qint64 seconds);

    static bool launchAtLogin();
    static bool setLaunchAtLogin(bool enabled);

    static QByteArray lastOutcomesData();
    static bool setLastOutcomesData(const QByteArray &json);

    // The hosts' check options, beside the list; nothing when the key is absent.
    static std::optional<QByteArray> hostChecksData();
    // Nothing removes the key.
    static bool setHostChecksData(const std::optional<QByteArray> &json);

    static bool notificationsEnabled();
    static bool setNotificationsEnabled(bool enabled);

    // The folder that holds the settings file; files that belong beside it go here.
    static QString folder();
    static QString fileName();
    // Creates the folder, private to the user, when it is missing; false when it cannot be had.
    static bool ensureFolder();
};
