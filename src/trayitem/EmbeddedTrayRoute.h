#pragma once

#include <QObject>

#include <memory>
#include <optional>

class QThread;

// Whether Qt's own tray icon class may be used here, for an XEmbed tray (trayer, older panels,
// Xfce without its StatusNotifierItem host). QSystemTrayIcon picks its kind once per process,
// the first time one is made: if a StatusNotifierItem host is registered then, every
// QSystemTrayIcon becomes a D-Bus item whose showing waits on blocking calls to the panel,
// which deadlocks with a panel calling in. So the first one is made on a worker thread, where
// blocking does no harm, and Qt's icon is used only if that choice was XEmbed.
class EmbeddedTrayRoute : public QObject {
    Q_OBJECT
public:
    // The process's, owned by the application object.
    static EmbeddedTrayRoute &instance();
    ~EmbeddedTrayRoute() override;

    // Unknown until asked and answered; then whether Qt's tray icon is an XEmbed icon.
    std::optional<bool> isOpen() const { return open_; }
    // Starts finding out, once; `decided` follows from the event loop. Off X11 (Wayland, the
    // offscreen platform) there is no XEmbed, and the answer is no at once.
    void ask();

Q_SIGNALS:
    void decided(bool open);

private:
    explicit EmbeddedTrayRoute(QObject *parent);
    void settle(bool open);

    std::unique_ptr<QThread> worker_;
    bool asked_ = false;
    std::optional<bool> open_;
};
