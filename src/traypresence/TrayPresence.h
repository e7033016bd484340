#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class QDBusServiceWatcher;

// Whether this desktop has a tray that can show Tarvik's icon: an XEmbed tray, or a
// StatusNotifierItem host registered with the session bus's StatusNotifierWatcher. It follows
// both as they come and go and says so when the answer changes. The watcher is only ever asked
// asynchronously, so a slow or stuck bus never holds up the event loop.
class TrayPresence : public QObject {
    Q_OBJECT
public:
    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char *watcherPath = "/StatusNotifierWatcher";
    // Qt tells of no XEmbed tray coming or going, so that one is looked at this often.
    static constexpr int embeddedTrayPollMs = 2000;

    using EmbeddedTrayProbe = std::function<bool()>;

    // `embeddedTray` answers whether an XEmbed tray is there now; `bus` is where the watcher
    // lives. Nothing is decided until start().
    TrayPresence(EmbeddedTrayProbe embeddedTray, const QDBusConnection &bus,
                 QObject *parent = nullptr);
    // The application's: Qt's own tray detection and the session bus.
    explicit TrayPresence(QObject *parent = nullptr);
    ~TrayPresence() override;

    // Unknown until the first answer; then whether a tray shows Tarvik's icon.
    std::optional<bool> isTrayShown() const { return shown_; }

    // Starts following the tray; the first answer arrives from the event loop.
    void start();

public Q_SLOTS:
    // Asks again (the watcher's answer arrives later).
    void reevaluate();

Q_SIGNALS:
    // The first answer, and every change after it.
    void trayShownChanged(bool shown);

private:
    void settle(bool statusNotifierHost);
    void pollEmbeddedTray();

    EmbeddedTrayProbe embeddedTray_;
    QDBusConnection bus_;
    QDBusServiceWatcher *serviceWatcher_ = nullptr;
    QTimer poll_;
    bool started_ = false;
    bool embeddedSeen_ = false;
    // Answers to older questions are dropped: only the latest describes the bus now.
    quint64 question_ = 0;
    std::optional<bool> shown_;
};
