#include "trayitem/StatusNotifierItem.h"

#include "trayitem/ExportedMenu.h"
#include "trayitem/StatusNotifierWatch.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

#include <mutex>

namespace {
int items = 0;

constexpr QDBusConnection::RegisterOptions exported = QDBusConnection::ExportScriptableSlots |
                                                      QDBusConnection::ExportScriptableSignals |
                                                      QDBusConnection::ExportAllProperties;
} // namespace

StatusNotifierItem::StatusNotifierItem(StatusNotifierWatch &watch, QObject *parent)
    : QObject(parent)
    , watch_(watch)
    , connectionName_(QStringLiteral("tarvik-tray-item-%1").arg(++items))
    , connection_(watch.connectItem(connectionName_)) {
    registerTypes();
    ExportedMenu::registerTypes();
    if (!connection_.isConnected())
        return;
    connection_.registerObject(QString::fromLatin1(itemPath), this, exported);
    connect(&watch_, &StatusNotifierWatch::watcherStarted, this,
            &StatusNotifierItem::registerWithWatcher);
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    // The unique name goes with the connection, and with it the item from the watcher's list.
    connection_.unregisterObject(QString::fromLatin1(menuObjectPath));
    connection_.unregisterObject(QString::fromLatin1(itemPath));
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName_);
}

void StatusNotifierItem::registerTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<Image>();
        qDBusRegisterMetaType<QList<Image>>();
        qDBusRegisterMetaType<ToolTip>();
    });
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(StatusNotifierWatch::watcherService),
                                       QString::fromLatin1(StatusNotifierWatch::watcherPath),
                                       QString::fromLatin1(StatusNotifierWatch::watcherService),
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << connection_.baseService();
    // Without a watcher, or with one that refuses, the item waits for the next watcher.
    auto *pending = new QDBusPendingCallWatcher(connection_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, pending, &QObject::deleteLater);
}

QString StatusNotifierItem::id() const {
    return QCoreApplication::applicationName();
}

QString StatusNotifierItem::title() const {
    return QCoreApplication::applicationName();
}

QList<StatusNotifierItem::Image> StatusNotifierItem::imagesOf(const QIcon &icon) {
    QList<Image> images;
    if (icon.isNull())
        return images;
    for (const int size : iconSizes) {
        const QImage image =
            icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        Image wire{image.width(), image.height(), QByteArray()};
        wire.pixels.resize(qsizetype(image.width()) * image.height() * 4);
        auto *out = reinterpret_cast<uchar *>(wire.pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian(line[x], out);
        }
        images.append(wire);
    }
    return images;
}

void StatusNotifierItem::setIcon(const QIcon &icon) {
    QList<Image> images = imagesOf(icon);
    bool same = images.size() == images_.size();
    for (qsizetype i = 0; same && i < images.size(); ++i)
        same = images[i].pixels == images_[i].pixels;
    if (same)
        return;
    images_ = std::move(images);
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString &text) {
    if (text == toolTip_)
        return;
    toolTip_ = text;
    Q_EMIT NewToolTip();
}

StatusNotifierItem::ToolTip StatusNotifierItem::toolTip() const {
    // The whole text as the title, as trays show it as given.
    return {QString(), {}, toolTip_, QString()};
}

void StatusNotifierItem::setMenu(QMenu *menu) {
    const QDBusObjectPath before = menuPath();
    if (menu && !exportedMenu_) {
        exportedMenu_ = std::make_unique<ExportedMenu>(menu);
        if (connection_.isConnected())
            connection_.registerObject(QString::fromLatin1(menuObjectPath), exportedMenu_.get(),
                                       exported);
    } else if (exportedMenu_) {
        exportedMenu_->setMenu(menu);
    }
    if (menuPath() != before)
        Q_EMIT NewMenu();
}

QDBusObjectPath StatusNotifierItem::menuPath() const {
    return QDBusObjectPath(exportedMenu_ && exportedMenu_->menu()
                               ? QString::fromLatin1(menuObjectPath)
                               : QStringLiteral("/NO_DBUSMENU"));
}

void StatusNotifierItem::activateLater(Activation activation) {
    // The tray is answered first: what a click does may open windows or remove this very item.
    QMetaObject::invokeMethod(
        this,
        [this, activation] {
            if (onActivation_)
                onActivation_(activation);
        },
        Qt::QueuedConnection);
}

void StatusNotifierItem::Activate(int, int) {
    activateLater(Activation::Primary);
}

void StatusNotifierItem::SecondaryActivate(int, int) {
    activateLater(Activation::Secondary);
}

void StatusNotifierItem::ContextMenu(int, int) {
    activateLater(Activation::Context);
}

void StatusNotifierItem::Scroll(int, const QString &) {}

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::Image &image) {
    argument.beginStructure();
    argument << image.width << image.height << image.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::Image &image) {
    argument.beginStructure();
    argument >> image.width >> image.height >> image.pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::ToolTip &tip) {
    argument.beginStructure();
    argument << tip.iconName << tip.images << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::ToolTip &tip) {
    argument.beginStructure();
    argument >> tip.iconName >> tip.images >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}
