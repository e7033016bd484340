#include "traypresence/TrayPresence.h"

#include "trayitem/EmbeddedTrayRoute.h"
#include "trayitem/StatusNotifierWatch.h"

#include <QGuiApplication>

// Xlib last: its macros (None, Bool, Status...) would clash with Qt's names.
#include <X11/Xlib.h>

TrayPresence::TrayPresence(EmbeddedTrayProbe embeddedTray, StatusNotifierWatch &watch,
                           QObject *parent)
    : QObject(parent)
    , embeddedTray_(std::move(embeddedTray))
    , watch_(watch) {
    poll_.setInterval(embeddedTrayPollMs);
    connect(&poll_, &QTimer::timeout, this, &TrayPresence::pollEmbeddedTray);
}

TrayPresence::TrayPresence(QObject *parent)
    : TrayPresence(
          [] {
              // An XEmbed tray shows Tarvik only where Qt's tray icon is an XEmbed one.
              return embeddedTrayPresent() && EmbeddedTrayRoute::instance().isOpen() != false;
          },
          StatusNotifierWatch::session(), parent) {
    connect(&EmbeddedTrayRoute::instance(), &EmbeddedTrayRoute::decided, this,
            &TrayPresence::pollEmbeddedTray);
}

TrayPresence::~TrayPresence() = default;

bool TrayPresence::embeddedTrayOn(_XDisplay *display) {
    if (!display)
        return false;
    // Asked of the X server, which answers at once: never of a panel, which may be busy
    // calling Tarvik.
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return atom != None && XGetSelectionOwner(display, atom) != None;
}

bool TrayPresence::embeddedTrayPresent() {
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && embeddedTrayOn(x11->display());
}

void TrayPresence::start() {
    if (started_)
        return;
    started_ = true;
    connect(&watch_, &StatusNotifierWatch::hostRegisteredChanged, this, &TrayPresence::settle);
    poll_.start();
    embeddedSeen_ = embeddedTray_ && embeddedTray_();
    // From the event loop, so whoever started it has connected to the answer; the watch may
    // have answered already for the tray items.
    QMetaObject::invokeMethod(this, &TrayPresence::settle, Qt::QueuedConnection);
}

void TrayPresence::reevaluate() {
    embeddedSeen_ = embeddedTray_ && embeddedTray_();
    settle();
    watch_.reevaluate();
}

void TrayPresence::settle() {
    const std::optional<bool> host = watch_.hostRegistered();
    // Until the watcher has answered, an XEmbed tray alone can already say yes.
    if (!host && !embeddedSeen_)
        return;
    const bool shown = embeddedSeen_ || host.value_or(false);
    if (shown_ == shown)
        return;
    shown_ = shown;
    Q_EMIT trayShownChanged(shown);
}

void TrayPresence::pollEmbeddedTray() {
    const bool seen = embeddedTray_ && embeddedTray_();
    if (seen == embeddedSeen_)
        return;
    embeddedSeen_ = seen;
    settle();
}
