#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QMenu>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

class QAction;

// A QMenu as the desktop's tray reads it over D-Bus (the com.canonical.dbusmenu interface): its
// actions as items with stable ids, submenus as children, and word of every change. The desktop
// calls in at any time, often while it waits for the answer, so every answer comes straight from
// the menu as it is, and nothing here ever waits on the desktop.
//
// An item keeps its id for as long as its action lives, so a desktop holding an older copy
// keeps reaching it; a change of text, icon or state is sent as new properties of the same item,
// and only actions coming or going are a new layout (a new revision).
class ExportedMenu : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    // One item with its properties: (ia{sv}).
    struct Item {
        int id = 0;
        QVariantMap properties;
    };
    // Properties an item no longer has: (ias).
    struct ItemKeys {
        int id = 0;
        QStringList keys;
    };
    // An item and, as deep as asked, its children: (ia{sv}av).
    struct LayoutItem {
        int id = 0;
        QVariantMap properties;
        QList<LayoutItem> children;
    };
    // One event from the desktop: (isvu).
    struct MenuEvent {
        int id = 0;
        QString eventId;
        QDBusVariant data;
        uint timestamp = 0;
    };

    // The menu is not owned; it may be null (an empty menu).
    explicit ExportedMenu(QMenu *menu = nullptr, QObject *parent = nullptr);
    ~ExportedMenu() override;

    QMenu *menu() const { return root_; }
    void setMenu(QMenu *menu);

    // The revision of the layout: it grows whenever actions come or go.
    uint revision() const { return revision_; }
    // The id the desktop knows `action` by, or -1 while it has none.
    int idOf(const QAction *action) const { return ids_.value(action, -1); }

    // A QAction's text as a label: "&" marks the mnemonic there and "&&" is a literal "&"; here
    // "_" marks it and "__" is a literal "_". So a name escaped for Qt's own menus reads the
    // same in the desktop's, with no key bound to it.
    static QString labelFor(const QString &text);
    // The properties the desktop is given for `action`.
    static QVariantMap propertiesOf(const QAction *action);

    uint version() const { return 4; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // Makes the wire types known to Qt's D-Bus layer; once is enough, more is harmless.
    static void registerTypes();

public Q_SLOTS:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                ExportedMenu::LayoutItem &layout);
    Q_SCRIPTABLE QList<ExportedMenu::Item> GetGroupProperties(const QList<int> &ids,
                                                              const QStringList &propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString &name);
    Q_SCRIPTABLE void Event(int id, const QString &eventId, const QDBusVariant &data,
                            uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const QList<ExportedMenu::MenuEvent> &events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

Q_SIGNALS:
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const QList<ExportedMenu::Item> &updatedProps,
                                             const QList<ExportedMenu::ItemKeys> &removedProps);
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int assignId(QAction *action);
    QAction *actionOf(int id) const;
    // The menu an id opens: the root for 0, else the submenu of that item's action.
    QMenu *menuOf(int id) const;
    // From the desktop's first call on: follows the menu's changes to tell it of them.
    void follow();
    void watch(QMenu *menu, int parentId);
    void unwatch(QMenu *menu);
    void unwatchAll();
    LayoutItem layoutOf(QMenu *menu, int id, int depth, const QStringList &names);
    Item itemOf(QAction *action, const QStringList &names);
    void actionChanged(QAction *action);
    void layoutChanged(int parentId);
    void queueFlush();
    // Sends what changed since the last time; true if the layout changed.
    bool flush();

    QPointer<QMenu> root_;
    QHash<const QAction *, int> ids_;
    QHash<int, QPointer<QAction>> actions_;
    int nextId_ = 1;
    uint revision_ = 1;
    // Every menu followed, with the id of the item that opens it (0 for the root).
    QHash<QMenu *, int> menus_;
    // The submenu each item was last seen to open.
    QHash<int, QPointer<QMenu>> submenus_;
    // What the desktop was last given for each item, so only real changes are sent.
    QHash<int, QVariantMap> sent_;
    QSet<int> changedItems_;
    QSet<int> changedLayouts_;
    bool flushQueued_ = false;
    // Whether a desktop has read the menu: only then are its changes followed.
    bool read_ = false;
};

Q_DECLARE_METATYPE(ExportedMenu::Item)
Q_DECLARE_METATYPE(ExportedMenu::ItemKeys)
Q_DECLARE_METATYPE(ExportedMenu::LayoutItem)
Q_DECLARE_METATYPE(ExportedMenu::MenuEvent)

QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::Item &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::Item &item);
QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::ItemKeys &keys);
const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::ItemKeys &keys);
QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::LayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::LayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::MenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::MenuEvent &event);
