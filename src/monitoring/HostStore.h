#pragma once

#include "monitoring/Host.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

using HostList = std::vector<std::shared_ptr<Host>>;

// The stored form of the host list: one JSON array of host objects under "hosts". Decoding is
// strict - one bad element discards the whole document - and writing leaves out absent optional
// fields rather than writing null.
class HostStore {
public:
    enum class Status { Missing, Ok, Unreadable };
    struct ReadResult {
        Status status = Status::Missing;
        HostList hosts;
        QString error;         // why the stored list could not be read
        QString preservedCopy; // where its bytes were kept, when unreadable
    };

    // The stored list, each host with its stored check options (HostCheckStore). Unreadable bytes
    // are copied beside the settings file (once per distinct content) before anything can overwrite
    // them, and one line says so on stderr.
    static ReadResult read();
    // The stored list, or nothing when it is missing or unreadable.
    static std::optional<HostList> readStoredHosts();

    // Writes `hosts`, and their check options beside them; false when they cannot be encoded
    // (nothing is written then) or the settings file cannot be written.
    static bool write(const HostList &hosts);
    // Writes an encoded list. A stored list that cannot be read is first kept aside; while no
    // copy can be made nothing is written (false), and the next write tries again.
    static bool writeEncoded(const QByteArray &json);

    static std::optional<HostList> decode(const QByteArray &json, QString *error = nullptr);
    static std::optional<QByteArray> encode(const HostList &hosts);

    static std::shared_ptr<Host> decodeHost(const QJsonObject &object, QString *error = nullptr);
    // Nothing when the host cannot be written as JSON (a duration that is not a finite number).
    static std::optional<QJsonObject> encodeHost(const Host &host);

private:
    static QString keepCopy(const Settings::HostsValue &stored);
    static bool storedListIsSafe();
};
