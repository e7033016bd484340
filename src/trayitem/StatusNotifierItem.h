#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QObject>

#include <functional>
#include <memory>

class ExportedMenu;
class QMenu;
class StatusNotifierWatch;

// One tray item as a StatusNotifierItem (org.kde.StatusNotifierItem) on a connection of its own:
// its icon, tooltip and menu, read by the desktop's tray over D-Bus, and the clicks the tray
// reports. It registers with the watcher whenever one starts, and leaves with its connection.
//
// Everything here answers from what it holds and never waits for the desktop: the tray calls
// in while it waits, and the only call going out (registering) is asynchronous.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QList<StatusNotifierItem::Image> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ iconName)
    Q_PROPERTY(QList<StatusNotifierItem::Image> OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ iconName)
    Q_PROPERTY(QList<StatusNotifierItem::Image> AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ iconName)
    Q_PROPERTY(StatusNotifierItem::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menuPath)
public:
    // One size of the icon: width, height and ARGB32 pixels in network byte order, (iiay).
    struct Image {
        int width = 0;
        int height = 0;
        QByteArray pixels;
    };
    // (icon name, images, title, text), (sa(iiay)ss).
    struct ToolTip {
        QString iconName;
        QList<Image> images;
        QString title;
        QString text;
    };
    // What a click in the tray asks for.
    enum class Activation { Primary, Secondary, Context };
    using ActivationHandler = std::function<void(Activation)>;

    static constexpr const char *itemPath = "/StatusNotifierItem";
    static constexpr const char *menuObjectPath = "/MenuBar";
    // The sizes handed to the tray; it picks the one that fits its slots.
    static constexpr int iconSizes[] = {16, 22, 24, 32, 48, 64};

    explicit StatusNotifierItem(StatusNotifierWatch &watch, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    bool isConnected() const { return connection_.isConnected(); }
    // The bus name the watcher knows this item by.
    QString serviceName() const { return connection_.baseService(); }

    void setIcon(const QIcon &icon);
    // Plain text: trays draw it themselves.
    void setToolTip(const QString &text);
    // Not owned; null for no menu.
    void setMenu(QMenu *menu);
    ExportedMenu *exportedMenu() const { return exportedMenu_.get(); }
    // Runs on each click from the tray, after the tray's call has been answered.
    void setActivationHandler(ActivationHandler handler) { onActivation_ = std::move(handler); }

    // The icon as the tray reads it, one image per size.
    static QList<Image> imagesOf(const QIcon &icon);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const;
    QString title() const;
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return {}; }
    QString iconName() const { return {}; }
    QList<Image> iconPixmap() const { return images_; }
    QList<Image> noImages() const { return {}; }
    ToolTip toolTip() const;
    // False: a click is the item's own, and the menu comes on a right click.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menuPath() const;

    static void registerTypes();

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString &orientation);

Q_SIGNALS:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString &status);
    Q_SCRIPTABLE void NewMenu();

private:
    void registerWithWatcher();
    void activateLater(Activation activation);

    StatusNotifierWatch &watch_;
    QString connectionName_;
    QDBusConnection connection_;
    std::unique_ptr<ExportedMenu> exportedMenu_;
    QList<Image> images_;
    QString toolTip_;
    ActivationHandler onActivation_;
};

Q_DECLARE_METATYPE(StatusNotifierItem::Image)
Q_DECLARE_METATYPE(StatusNotifierItem::ToolTip)

QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::Image &image);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::Image &image);
QDBusArgument &operator<<(QDBusArgument &argument, const StatusNotifierItem::ToolTip &tip);
const QDBusArgument &operator>>(const QDBusArgument &argument, StatusNotifierItem::ToolTip &tip);
