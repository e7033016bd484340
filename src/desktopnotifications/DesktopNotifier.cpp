#include "desktopnotifications/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace {
const QString interfaceName = QString::fromLatin1(DesktopNotifier::service);

QDBusMessage call(const QString &method) {
    return QDBusMessage::createMethodCall(interfaceName, QString::fromLatin1(DesktopNotifier::path),
                                          interfaceName, method);
}
} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : Notifier(parent)
    , bus_(bus) {
    const QString path = QString::fromLatin1(DesktopNotifier::path);
    bus_.connect(QString(), path, interfaceName, QStringLiteral("NotificationClosed"), this,
                 SLOT(onClosed(uint, uint)));
    bus_.connect(QString(), path, interfaceName, QStringLiteral("ActionInvoked"), this,
                 SLOT(onAction(uint, QString)));
    // A server that starts later (or replaces the one there) may offer other things.
    serverWatch_ = new QDBusServiceWatcher(interfaceName, bus_,
                                           QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(serverWatch_, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        ++serverGeneration_;
        if (capabilities_ == Capabilities::Known) {
            capabilities_ = Capabilities::Unknown;
            serverCapabilities_.clear();
        }
    });
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::whenCapabilitiesKnown(std::function<void()> step) {
    if (capabilities_ == Capabilities::Known) {
        step();
        return;
    }
    waitingForCapabilities_.push_back(std::move(step));
    if (capabilities_ != Capabilities::Asking)
        askCapabilities();
}

void DesktopNotifier::askCapabilities() {
    capabilities_ = Capabilities::Asking;
    const int generation = serverGeneration_;
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(call(QStringLiteral("GetCapabilities")), callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != serverGeneration_) {
            // Answered by a server that has been replaced meanwhile: ask the one there now.
            askCapabilities();
            return;
        }
        const QDBusPendingReply<QStringList> reply = *watcher;
        // Without an answer nothing is assumed, and nothing is kept: the next notice asks again.
        serverCapabilities_ = reply.isError() ? QStringList() : reply.value();
        capabilities_ = reply.isError() ? Capabilities::Unknown : Capabilities::Known;
        const auto steps = std::exchange(waitingForCapabilities_, {});
        for (const auto &step : steps)
            step();
    });
}

int DesktopNotifier::show(const Notice &notice, int handle) {
    const auto it = handle ? entries_.find(handle) : entries_.end();
    if (it == entries_.end()) {
        handle = ++lastHandle_;
        entries_[handle];
    } else if (it->second.waiting) {
        // The id to replace is not known yet; the newest notice follows once it is.
        it->second.replaceWhenKnown = {notice};
        return handle;
    }
    entries_[handle].waiting = true;
    entries_[handle].closeWhenKnown = false;
    whenCapabilitiesKnown([this, handle, notice] { send(handle, notice); });
    return handle;
}

void DesktopNotifier::send(int handle, const Notice &notice) {
    const auto it = entries_.find(handle);
    if (it == entries_.end())
        return;
    // The server may read the body as markup; a host named "<b>x</b>" must stay text.
    const bool markup = serverCapabilities_.contains(QStringLiteral("body-markup"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("com.morvane.Tarvik"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.down ? 2 : 1)));
    hints.insert(QStringLiteral("category"), notice.down ? QStringLiteral("network.error")
                                                         : QStringLiteral("network.connected"));
    QDBusMessage message = call(QStringLiteral("Notify"));
    message << QStringLiteral("Tarvik") << it->second.serverId
            << QStringLiteral("com.morvane.Tarvik") << notice.summary
            << (markup ? notice.body.toHtmlEscaped() : notice.body)
            << (notice.action.isEmpty() ? QStringList()
                                        : QStringList{QStringLiteral("default"), notice.action})
            << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, handle, notice] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        const auto entry = entries_.find(handle);
        if (entry == entries_.end())
            return;
        Entry &e = entry->second;
        e.waiting = false;
        if (reply.isError()) {
            // No server: the tray's own balloon, and the handle is free to start over.
            if (fallback_)
                fallback_(notice);
            handles_.erase(e.serverId);
            e.serverId = 0;
        } else {
            handles_.erase(e.serverId);
            e.serverId = reply.value();
            handles_[e.serverId] = handle;
        }
        if (e.closeWhenKnown) {
            e.closeWhenKnown = false;
            e.replaceWhenKnown.clear();
            close(handle);
        } else if (!e.replaceWhenKnown.empty()) {
            const Notice next = e.replaceWhenKnown.back();
            e.replaceWhenKnown.clear();
            show(next, handle);
        }
    });
}

void DesktopNotifier::close(int handle) {
    const auto it = entries_.find(handle);
    if (it == entries_.end())
        return;
    if (it->second.waiting) {
        it->second.closeWhenKnown = true;
        return;
    }
    const uint id = it->second.serverId;
    handles_.erase(id);
    entries_.erase(it);
    if (id == 0)
        return;
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << id;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void DesktopNotifier::onClosed(uint id, uint) {
    const auto it = handles_.find(id);
    if (it == handles_.end())
        return;
    // Gone from the screen: a later replace starts a new notice under the same handle.
    const auto entry = entries_.find(it->second);
    if (entry != entries_.end())
        entry->second.serverId = 0;
    handles_.erase(it);
}

void DesktopNotifier::onAction(uint id, const QString &key) {
    const auto it = handles_.find(id);
    if (it != handles_.end() && key == u"default")
        Q_EMIT activated(it->second);
}
