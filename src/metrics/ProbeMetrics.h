#pragma once

#include "checks/CheckVerdict.h"
#include "http/HttpClient.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <memory>
#include <optional>
#include <unordered_map>

class Host;
class TRHostController;

// Keeps the last completed check of every host the engine checks and renders them as metrics on
// demand. Results are matched to host objects, not names: two hosts may share a name, and a host
// that was removed (or replaced by an import) drops out instead of lingering under its name.
class ProbeMetrics : public QObject {
    Q_OBJECT
public:
    explicit ProbeMetrics(TRHostController &engine, QObject *parent = nullptr);

    // The exposition for the active hosts in list order that have been checked at least once.
    QByteArray exposition() const;

private:
    struct Last {
        std::weak_ptr<const Host> host;
        HttpResult result;
        CheckVerdict::Expectation failed = CheckVerdict::Expectation::None;
    };

    void record(const Host &host, const HttpResult &result);

    TRHostController &engine_;
    // The engine's last-round date starts at its creation, before any round; this is set by
    // rounds alone.
    std::optional<QDateTime> roundStarted_;
    std::unordered_map<const Host *, Last> last_;
};
