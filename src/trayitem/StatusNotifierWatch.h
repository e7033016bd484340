#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

class QDBusServiceWatcher;

// Follows a bus's StatusNotifierWatcher, the registry where a desktop's tray (KDE's, LXQt's,
// Xfce's, GNOME's AppIndicator extension) finds the items it shows: whether a tray host has
// registered with it, and when a watcher starts (a panel restarted), so items register again.
//
// The watcher usually lives in the panel's own process, and the panel calls into Tarvik's
// items while it waits for their answers; so the watcher is only ever asked asynchronously,
// and a panel that never answers costs a timeout in a callback, never a stalled event loop.
class StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char *watcherPath = "/StatusNotifierWatcher";

    // The session bus's, made on first use and owned by the application object.
    static StatusNotifierWatch &session();

    // Follows the watcher on the bus at `address`; an empty address is the session bus. The
    // first answer arrives from the event loop.
    explicit StatusNotifierWatch(const QString &address, QObject *parent = nullptr);
    ~StatusNotifierWatch() override;

    bool isConnected() const { return bus_.isConnected(); }
    // Unknown until the first answer; then whether a tray host is registered.
    std::optional<bool> hostRegistered() const { return host_; }

    // A connection of its own to the same bus, for one exported item: the item's unique name
    // is how the watcher knows it, and that name going away is how the watcher drops it.
    QDBusConnection connectItem(const QString &name) const;

public Q_SLOTS:
    // Asks again; the answer arrives later.
    void reevaluate();

Q_SIGNALS:
    // The first answer, and every change after it.
    void hostRegisteredChanged(bool registered);
    // A watcher took the name (at start, or after a panel restarted): items register with it.
    void watcherStarted();

private:
    void settle(bool host);

    QString address_;
    QString connectionName_;
    QDBusConnection bus_;
    QDBusServiceWatcher *serviceWatcher_ = nullptr;
    // Answers to older questions are dropped: only the latest describes the bus now.
    quint64 question_ = 0;
    std::optional<bool> host_;
};
