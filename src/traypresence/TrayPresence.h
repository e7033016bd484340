#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class StatusNotifierWatch;
struct _XDisplay; // Xlib's Display

// Whether this desktop has a tray that can show Tarvik's icon: an XEmbed tray, or a
// StatusNotifierItem host registered with the session bus's StatusNotifierWatcher. It follows
// both as they come and go and says so when the answer changes. Neither question ever waits on
// another program's D-Bus answer: the watcher is asked asynchronously, and an XEmbed tray is the
// X server's own record of who holds the tray selection.
class TrayPresence : public QObject {
    Q_OBJECT
public:
    // Qt tells of no XEmbed tray coming or going, so that one is looked at this often.
    static constexpr int embeddedTrayPollMs = 2000;

    using EmbeddedTrayProbe = std::function<bool()>;

    // `embeddedTray` answers whether an XEmbed tray is there now; `watch` follows the bus's
    // watcher. Nothing is decided until start().
    TrayPresence(EmbeddedTrayProbe embeddedTray, StatusNotifierWatch &watch,
                 QObject *parent = nullptr);
    // The application's: the tray selection on Qt's X display, and the session bus.
    explicit TrayPresence(QObject *parent = nullptr);
    ~TrayPresence() override;

    // Unknown until the first answer; then whether a tray shows Tarvik's icon.
    std::optional<bool> isTrayShown() const { return shown_; }

    // Starts following the tray; the first answer arrives from the event loop.
    void start();

    // Whether an XEmbed tray holds the tray selection (_NET_SYSTEM_TRAY_S<screen>) of the X
    // server behind `display`; false without one.
    static bool embeddedTrayOn(_XDisplay *display);
    // The same for Qt's own X display; false on other window systems.
    static bool embeddedTrayPresent();

public Q_SLOTS:
    // Looks again (the watcher's answer arrives later).
    void reevaluate();

Q_SIGNALS:
    // The first answer, and every change after it.
    void trayShownChanged(bool shown);

private:
    void settle();
    void pollEmbeddedTray();

    EmbeddedTrayProbe embeddedTray_;
    StatusNotifierWatch &watch_;
    QTimer poll_;
    bool started_ = false;
    bool embeddedSeen_ = false;
    std::optional<bool> shown_;
};
