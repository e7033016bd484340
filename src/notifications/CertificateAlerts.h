#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class Clock;
class Host;
class Notifier;
class TRHostController;
struct HttpResult;

// Tells the user, at most once in 24 hours for each address, that an https host's certificate
// runs out within CertificateNotice::warningDays, however often the host is checked. The times
// are kept in memory only: after a restart the first check may tell once more.
class CertificateAlerts : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 quietSeconds = 24 * 3600;

    CertificateAlerts(TRHostController &engine, Notifier &notifier, const Clock &clock,
                      QObject *parent = nullptr);
    ~CertificateAlerts() override;

    // Asked at the moment a notice would go out; on by default.
    void setEnabled(std::function<bool()> enabled) { enabled_ = std::move(enabled); }

Q_SIGNALS:
    // The user clicked a notice about this host's certificate.
    void openHostRequested(const std::shared_ptr<Host> &host);

private:
    void onCheck(const Host &host, const HttpResult &result);
    void onActivated(int handle);

    TRHostController &engine_;
    Notifier &notifier_;
    const Clock &clock_;
    std::function<bool()> enabled_ = [] { return true; };
    std::map<QString, QDateTime> toldAt_;           // address -> when its last notice went out
    std::map<int, std::weak_ptr<Host>> noticeHost_; // notice handle -> the host it speaks of
};
