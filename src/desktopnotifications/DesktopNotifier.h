#pragma once

#include "notifications/Notifier.h"

#include <QDBusConnection>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class QDBusPendingCall;
class QDBusServiceWatcher;

// Notices through the desktop's notification server (org.freedesktop.Notifications on the
// session bus). Every call is asynchronous: the loop never waits for the server. Where no server
// answers, each notice goes to the fallback instead (the tray icon's own message balloon).
class DesktopNotifier : public Notifier {
    Q_OBJECT
public:
    static constexpr const char *service = "org.freedesktop.Notifications";
    static constexpr const char *path = "/org/freedesktop/Notifications";
    static constexpr int callTimeoutMs = 5000;

    explicit DesktopNotifier(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                             QObject *parent = nullptr);
    ~DesktopNotifier() override;

    int show(const Notice &notice, int handle = 0) override;
    void close(int handle) override;

    void setFallback(std::function<void(const Notice &)> fallback) {
        fallback_ = std::move(fallback);
    }

private:
    struct Entry {
        uint serverId = 0;
        bool waiting = false; // a Notify call is on its way
        bool closeWhenKnown = false;
        std::vector<Notice> replaceWhenKnown;
    };

    void whenCapabilitiesKnown(std::function<void()> step);
    void askCapabilities();
    void send(int handle, const Notice &notice);

private Q_SLOTS:
    // Signals of the server, connected by name.
    void onClosed(uint id, uint reason);
    void onAction(uint id, const QString &key);

private:
    QDBusConnection bus_;
    std::function<void(const Notice &)> fallback_;
    std::map<int, Entry> entries_;
    std::map<uint, int> handles_; // server id -> handle
    int lastHandle_ = 0;
    // What the server offers is asked once per server: again whenever another one takes the
    // name (the bus says so), and again after a question nobody answered.
    enum class Capabilities { Unknown, Asking, Known } capabilities_ = Capabilities::Unknown;
    int serverGeneration_ = 0; // counts changes of the name's owner
    QDBusServiceWatcher *serverWatch_ = nullptr;
    QStringList serverCapabilities_;
    std::vector<std::function<void()>> waitingForCapabilities_;
};
