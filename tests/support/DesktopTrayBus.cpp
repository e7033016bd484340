#include "support/DesktopTrayBus.h"

#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>

#include <atomic>

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherConnection = QStringLiteral("tarvik-test-watcher");
const QString clientConnection = QStringLiteral("tarvik-test-client");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

void parseEntry(const QDBusArgument &argument, DesktopTrayBus::MenuEntry &entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        DesktopTrayBus::MenuEntry parsed;
        parseEntry(child.variant().value<QDBusArgument>(), parsed);
        entry.children.push_back(std::move(parsed));
    }
    argument.endArray();
    argument.endStructure();
}
} // namespace

// What a desktop's tray offers first: a registry of items, and word that a tray shows them.
class ThreadedStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return host; }
    int protocolVersion() const { return 0; }
    QStringList items() const {
        QMutexLocker lock(&mutex_);
        return items_;
    }
    void forgetItems() {
        QMutexLocker lock(&mutex_);
        items_.clear();
    }
    void setCallBackTimeout(int ms) {
        QMutexLocker lock(&mutex_);
        callBackTimeoutMs_ = ms;
    }
    QList<DesktopTrayBus::CallBack> callBacks() const {
        QMutexLocker lock(&mutex_);
        return callBacks_;
    }
    QSemaphore hung;
    std::atomic<bool> host = true;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message) {
        const QString item = service.startsWith(u'/')
                                 ? message.service() + service
                                 : service + QStringLiteral("/StatusNotifierItem");
        int timeout = 0;
        {
            QMutexLocker lock(&mutex_);
            items_ << item;
            timeout = callBackTimeoutMs_;
        }
        Q_EMIT StatusNotifierItemRegistered(item);
        if (timeout > 0)
            callBack(item, timeout);
    }
    void RegisterStatusNotifierHost(const QString &) {}
    // Blocks this thread, as a panel stuck elsewhere would be, until released.
    void hangUntilReleased() { hung.acquire(); }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &item);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    // What LXQt's panel does on a registration, all from its main thread: read the item, build
    // an importer for its menu (whose interface introspects the menu) and read the layout.
    void callBack(const QString &item, int timeoutMs) {
        const qsizetype slash = item.indexOf(u'/');
        const QString service = item.left(slash);
        const QDBusConnection bus(watcherConnection);
        QElapsedTimer clock;
        clock.start();
        auto ask = [&](const QString &path, const QString &interface, const QString &method,
                       const QVariantList &arguments) {
            QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
            call.setArguments(arguments);
            return bus.call(call, QDBus::Block, timeoutMs);
        };
        const QDBusMessage menu =
            ask(item.mid(slash), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"), {itemInterface, QStringLiteral("Menu")});
        bool answered = menu.type() == QDBusMessage::ReplyMessage && !menu.arguments().isEmpty();
        if (answered) {
            const QString menuPath = menu.arguments()
                                         .first()
                                         .value<QDBusVariant>()
                                         .variant()
                                         .value<QDBusObjectPath>()
                                         .path();
            answered =
                ask(menuPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                    QStringLiteral("Introspect"), {})
                        .type() == QDBusMessage::ReplyMessage &&
                ask(menuPath, menuInterface, QStringLiteral("GetLayout"), {0, -1, QStringList()})
                        .type() == QDBusMessage::ReplyMessage;
        }
        QMutexLocker lock(&mutex_);
        callBacks_.append({item, answered, clock.elapsed()});
    }

    mutable QMutex mutex_;
    QStringList items_;
    int callBackTimeoutMs_ = 0;
    QList<DesktopTrayBus::CallBack> callBacks_;
};

// Receives an exported menu's LayoutUpdated signals.
class LayoutSignalSink : public QObject {
    Q_OBJECT
public:
    explicit LayoutSignalSink(QList<uint> *revisions)
        : revisions_(revisions) {}
public Q_SLOTS:
    void layoutUpdated(uint revision, int) { revisions_->append(revision); }

private:
    QList<uint> *revisions_;
};

// The watcher lives on its thread even when the daemon did not start, so every call here is
// safe, and does nothing, then.
DesktopTrayBus::DesktopTrayBus()
    : watcher_(new ThreadedStatusNotifierWatcher) { // deleted on its thread's finish
    QDBusConnection bus = QDBusConnection::connectToBus(daemon_.address(), watcherConnection);
    const bool registered =
        bus.isConnected() &&
        bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), watcher_,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                               QDBusConnection::ExportAllProperties);
    // Registered here, then moved with what registering made, so it answers on its own thread.
    watcher_->moveToThread(&watcherThread_);
    QObject::connect(&watcherThread_, &QThread::finished, watcher_, &QObject::deleteLater);
    watcherThread_.start();
    if (!daemon_.isRunning()) {
        error_ = daemon_.error();
        return;
    }
    if (!registered || !bus.registerService(watcherService)) {
        error_ =
            QStringLiteral("the watcher could not be registered: ") + bus.lastError().message();
        return;
    }
    QDBusConnection::connectToBus(daemon_.address(), clientConnection);
    address_ = daemon_.address();
}

DesktopTrayBus::~DesktopTrayBus() {
    release();
    QDBusConnection::disconnectFromBus(clientConnection);
    QDBusConnection::disconnectFromBus(watcherConnection);
    watcherThread_.quit();
    watcherThread_.wait();
}

QStringList DesktopTrayBus::registeredItems() const {
    return watcher_->items();
}

void DesktopTrayBus::callBackOnRegistration(int timeoutMs) {
    watcher_->setCallBackTimeout(timeoutMs);
}

QList<DesktopTrayBus::CallBack> DesktopTrayBus::callBacks() const {
    return watcher_->callBacks();
}

void DesktopTrayBus::hang() {
    QMetaObject::invokeMethod(watcher_, &ThreadedStatusNotifierWatcher::hangUntilReleased,
                              Qt::QueuedConnection);
}

void DesktopTrayBus::release() {
    watcher_->hung.release();
}

void DesktopTrayBus::disappear() {
    QDBusConnection(watcherConnection).unregisterService(watcherService);
    watcher_->forgetItems();
}

void DesktopTrayBus::appear(bool withHost) {
    watcher_->host = withHost;
    QDBusConnection(watcherConnection).registerService(watcherService);
}

void DesktopTrayBus::setHost(bool host) {
    watcher_->host = host;
    QMetaObject::invokeMethod(watcher_,
                              host ? &ThreadedStatusNotifierWatcher::StatusNotifierHostRegistered
                                   : &ThreadedStatusNotifierWatcher::StatusNotifierHostUnregistered,
                              Qt::QueuedConnection);
}

std::pair<QString, QString> DesktopTrayBus::split(const QString &item) {
    const qsizetype slash = item.indexOf(u'/');
    return {item.left(slash), item.mid(slash)};
}

QDBusMessage DesktopTrayBus::call(const QString &service, const QString &path,
                                  const QString &interface, const QString &method,
                                  const QVariantList &arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = QDBusConnection(clientConnection).asyncCall(message, 5000);
    waitUntil([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

QVariant DesktopTrayBus::property(const QString &item, const QString &name) {
    const auto [service, path] = split(item);
    const QDBusMessage reply =
        call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
             QStringLiteral("Get"), {itemInterface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QString DesktopTrayBus::toolTip(const QString &item) {
    const QVariant tip = property(item, QStringLiteral("ToolTip"));
    if (!tip.isValid())
        return {};
    // (icon name, pixmaps, title, text): Qt puts the tooltip in the title.
    const QDBusArgument argument = tip.value<QDBusArgument>();
    QString iconName, title, text;
    argument.beginStructure();
    argument >> iconName;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
    }
    argument.endArray();
    argument >> title >> text;
    argument.endStructure();
    return text.isEmpty() ? title : title + u'\n' + text;
}

QString DesktopTrayBus::menuPath(const QString &item) {
    return property(item, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
}

std::optional<DesktopTrayBus::Layout> DesktopTrayBus::layout(const QString &item) {
    const QString path = menuPath(item);
    if (path.isEmpty())
        return std::nullopt;
    const QDBusMessage reply = call(split(item).first, path, menuInterface,
                                    QStringLiteral("GetLayout"), {0, -1, QStringList()});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return std::nullopt;
    MenuEntry root;
    parseEntry(reply.arguments().at(1).value<QDBusArgument>(), root);
    return std::make_pair(reply.arguments().at(0).toUInt(), std::move(root));
}

DesktopTrayBus::MenuMatch DesktopTrayBus::showing(const QString &label, bool shown) {
    return [=](const MenuEntry &menu) { return (menu.find(label) != nullptr) == shown; };
}

std::optional<DesktopTrayBus::Layout> DesktopTrayBus::layoutWhen(const QString &item,
                                                                 const MenuMatch &matches, int ms) {
    std::optional<Layout> now;
    if (waitUntil([&] { return (now = layout(item)) && matches(now->second); }, ms))
        return now;
    return std::nullopt;
}

std::optional<std::pair<QString, DesktopTrayBus::Layout>>
DesktopTrayBus::itemWhoseMenu(const MenuMatch &matches, int ms) {
    std::optional<std::pair<QString, Layout>> found;
    waitUntil(
        [&] {
            for (const QString &item : registeredItems())
                if (std::optional<Layout> now = layout(item); now && matches(now->second)) {
                    found.emplace(item, std::move(*now));
                    return true;
                }
            return false;
        },
        ms);
    return found;
}

void DesktopTrayBus::click(const QString &item, int id) {
    call(split(item).first, menuPath(item), menuInterface, QStringLiteral("Event"),
         {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), uint(0)});
}

void DesktopTrayBus::watchLayoutUpdates(const QString &item) {
    signalSink_ = std::make_unique<LayoutSignalSink>(&layoutUpdates_);
    QDBusConnection(clientConnection)
        .connect(split(item).first, menuPath(item), menuInterface, QStringLiteral("LayoutUpdated"),
                 signalSink_.get(), SLOT(layoutUpdated(uint, int)));
}

const DesktopTrayBus::MenuEntry *DesktopTrayBus::MenuEntry::find(const QString &text) const {
    for (const MenuEntry &child : children) {
        if (child.label() == text)
            return &child;
        if (const MenuEntry *found = child.find(text))
            return found;
    }
    return nullptr;
}

#include "DesktopTrayBus.moc"
