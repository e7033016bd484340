#include "trayitem/ExportedMenu.h"

#include <QActionEvent>
#include <QActionGroup>
#include <QBuffer>
#include <QCache>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include <mutex>

namespace {
const QString childrenDisplay = QStringLiteral("children-display");

// The PNG of a menu icon, by the icon's cache key: the same few dots and command images are on
// every row, and a desktop reads the whole menu at once.
QByteArray pngOf(const QIcon &icon) {
    static QCache<qint64, QByteArray> cache(64);
    if (const QByteArray *png = cache.object(icon.cacheKey()))
        return *png;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    icon.pixmap(16).save(&buffer, "PNG");
    cache.insert(icon.cacheKey(), new QByteArray(buffer.data()));
    return buffer.data();
}

QVariantMap only(const QVariantMap &properties, const QStringList &names) {
    if (names.isEmpty())
        return properties;
    QVariantMap kept;
    for (const QString &name : names)
        if (properties.contains(name))
            kept.insert(name, properties.value(name));
    return kept;
}
} // namespace

ExportedMenu::ExportedMenu(QMenu *menu, QObject *parent)
    : QObject(parent) {
    registerTypes();
    setMenu(menu);
}

ExportedMenu::~ExportedMenu() = default;

void ExportedMenu::registerTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<Item>();
        qDBusRegisterMetaType<QList<Item>>();
        qDBusRegisterMetaType<ItemKeys>();
        qDBusRegisterMetaType<QList<ItemKeys>>();
        qDBusRegisterMetaType<LayoutItem>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<QList<MenuEvent>>();
    });
}

void ExportedMenu::setMenu(QMenu *menu) {
    if (menu == root_)
        return;
    unwatchAll();
    root_ = menu;
    // Until a desktop first reads the menu nothing is followed (where no D-Bus tray runs, none
    // ever does); it reads the menu as it is then.
    if (!read_)
        return;
    if (root_)
        watch(root_, 0);
    layoutChanged(0);
}

QString ExportedMenu::labelFor(const QString &text) {
    QString label;
    label.reserve(text.size() + 1);
    bool marked = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'_') {
            label += QStringLiteral("__");
        } else if (c != u'&' || i + 1 == text.size()) {
            label += c;
        } else if (text[i + 1] == u'&') {
            label += u'&';
            ++i;
        } else if (!marked) {
            // Only one mnemonic per item; any later "&" is dropped, as Qt shows it.
            marked = true;
            label += u'_';
        }
    }
    return label;
}

QVariantMap ExportedMenu::propertiesOf(const QAction *action) {
    QVariantMap properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        properties.insert(QStringLiteral("label"), labelFor(action->text()));
        if (action->menu())
            properties.insert(childrenDisplay, QStringLiteral("submenu"));
        properties.insert(QStringLiteral("enabled"), action->isEnabled());
        if (action->isCheckable()) {
            const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
            properties.insert(QStringLiteral("toggle-type"),
                              radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
            properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
        }
        const QIcon icon = action->isIconVisibleInMenu() ? action->icon() : QIcon();
        if (!icon.name().isEmpty())
            properties.insert(QStringLiteral("icon-name"), icon.name());
        else if (!icon.isNull())
            properties.insert(QStringLiteral("icon-data"), pngOf(icon));
    }
    properties.insert(QStringLiteral("visible"), action->isVisible());
    return properties;
}

QString ExportedMenu::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                 : QStringLiteral("ltr");
}

int ExportedMenu::assignId(QAction *action) {
    if (const auto known = ids_.constFind(action); known != ids_.constEnd())
        return *known;
    const int id = nextId_++;
    ids_.insert(action, id);
    actions_.insert(id, action);
    connect(action, &QObject::destroyed, this, [this, action, id] {
        ids_.remove(action);
        actions_.remove(id);
        sent_.remove(id);
        changedItems_.remove(id);
    });
    return id;
}

QAction *ExportedMenu::actionOf(int id) const {
    return actions_.value(id).data();
}

QMenu *ExportedMenu::menuOf(int id) const {
    if (id == 0)
        return root_;
    const QAction *action = actionOf(id);
    return action ? action->menu() : nullptr;
}

void ExportedMenu::watch(QMenu *menu, int parentId) {
    if (!menus_.contains(menu)) {
        menu->installEventFilter(this);
        connect(menu, &QObject::destroyed, this, [this, menu] { menus_.remove(menu); });
    }
    menus_.insert(menu, parentId);
    if (parentId != 0)
        submenus_.insert(parentId, menu);
    for (QAction *action : menu->actions()) {
        const int id = assignId(action);
        if (QMenu *submenu = action->menu(); submenu && submenu != menu)
            watch(submenu, id);
    }
}

void ExportedMenu::follow() {
    if (read_)
        return;
    read_ = true;
    if (root_)
        watch(root_, 0);
}

void ExportedMenu::unwatch(QMenu *menu) {
    menu->removeEventFilter(this);
    disconnect(menu, &QObject::destroyed, this, nullptr);
    menus_.remove(menu);
}

void ExportedMenu::unwatchAll() {
    for (QMenu *menu : menus_.keys())
        unwatch(menu);
    submenus_.clear();
}

bool ExportedMenu::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ActionAdded && type != QEvent::ActionRemoved &&
        type != QEvent::ActionChanged)
        return QObject::eventFilter(watched, event);
    auto *menu = qobject_cast<QMenu *>(watched);
    const auto parent = menu ? menus_.constFind(menu) : menus_.constEnd();
    if (parent == menus_.constEnd())
        return QObject::eventFilter(watched, event);
    QAction *action = static_cast<QActionEvent *>(event)->action();
    if (type == QEvent::ActionChanged)
        actionChanged(action);
    else
        layoutChanged(*parent);
    return QObject::eventFilter(watched, event);
}

void ExportedMenu::actionChanged(QAction *action) {
    const int id = assignId(action);
    // A submenu made, swapped or dropped changes what the item holds, not just how it looks.
    if (action->menu() != submenus_.value(id))
        layoutChanged(id);
    changedItems_.insert(id);
    queueFlush();
}

void ExportedMenu::queueFlush() {
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { flush(); }, Qt::QueuedConnection);
}

void ExportedMenu::layoutChanged(int parentId) {
    changedLayouts_.insert(parentId);
    queueFlush();
}

bool ExportedMenu::flush() {
    flushQueued_ = false;
    const bool layout = !changedLayouts_.isEmpty();
    if (layout) {
        // Follow what the menus hold now: new actions get ids, new submenus are watched, and
        // submenus no item opens any more are let go.
        QList<QMenu *> stale;
        for (auto it = menus_.constBegin(); it != menus_.constEnd(); ++it)
            if (it.value() != 0 &&
                (!actionOf(it.value()) || actionOf(it.value())->menu() != it.key()))
                stale << it.key();
        for (QMenu *menu : std::as_const(stale))
            unwatch(menu);
        submenus_.clear();
        if (root_ && read_)
            watch(root_, 0);
        ++revision_;
        const int parent = changedLayouts_.size() == 1 ? *changedLayouts_.constBegin() : 0;
        changedLayouts_.clear();
        Q_EMIT LayoutUpdated(revision_, parent);
    }
    QList<Item> updated;
    QList<ItemKeys> removed;
    for (const int id : std::as_const(changedItems_)) {
        const QAction *action = actionOf(id);
        const auto sent = sent_.find(id);
        // Items the desktop never read need no word: it reads them as they are.
        if (!action || sent == sent_.end())
            continue;
        const QVariantMap now = propertiesOf(action);
        if (now == *sent)
            continue;
        QStringList gone;
        for (auto it = sent->constBegin(); it != sent->constEnd(); ++it)
            if (!now.contains(it.key()))
                gone << it.key();
        *sent = now;
        updated.append({id, now});
        if (!gone.isEmpty())
            removed.append({id, gone});
    }
    changedItems_.clear();
    if (!updated.isEmpty() || !removed.isEmpty())
        Q_EMIT ItemsPropertiesUpdated(updated, removed);
    return layout;
}

ExportedMenu::Item ExportedMenu::itemOf(QAction *action, const QStringList &names) {
    const int id = assignId(action);
    const QVariantMap properties = propertiesOf(action);
    sent_.insert(id, properties);
    return {id, only(properties, names)};
}

ExportedMenu::LayoutItem ExportedMenu::layoutOf(QMenu *menu, int id, int depth,
                                                const QStringList &names) {
    LayoutItem layout;
    layout.id = id;
    if (id == 0) {
        layout.properties.insert(childrenDisplay, QStringLiteral("submenu"));
    } else if (QAction *action = actionOf(id)) {
        layout.properties = itemOf(action, names).properties;
    }
    if (depth == 0 || !menu)
        return layout;
    watch(menu, id);
    for (QAction *action : menu->actions()) {
        QMenu *submenu = action->menu();
        layout.children.append(layoutOf(submenu == menu ? nullptr : submenu, assignId(action),
                                        depth < 0 ? depth : depth - 1, names));
    }
    return layout;
}

uint ExportedMenu::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                             LayoutItem &layout) {
    follow();
    // Pending changes go out first, so the revision answered matches what is described.
    flush();
    layout = layoutOf(menuOf(parentId), parentId, recursionDepth, propertyNames);
    return revision_;
}

QList<ExportedMenu::Item> ExportedMenu::GetGroupProperties(const QList<int> &ids,
                                                           const QStringList &propertyNames) {
    follow();
    QList<Item> items;
    const QList<int> wanted = ids.isEmpty() ? actions_.keys() : ids;
    for (const int id : wanted)
        if (QAction *action = actionOf(id))
            items.append(itemOf(action, propertyNames));
    return items;
}

QDBusVariant ExportedMenu::GetProperty(int id, const QString &name) {
    follow();
    QVariantMap properties;
    if (id == 0)
        properties.insert(childrenDisplay, QStringLiteral("submenu"));
    else if (const QAction *action = actionOf(id))
        properties = propertiesOf(action);
    // An empty variant cannot travel; a property the item lacks reads as an empty string.
    return QDBusVariant(properties.value(name, QString()));
}

void ExportedMenu::Event(int id, const QString &eventId, const QDBusVariant &, uint) {
    follow();
    if (eventId == QLatin1String("clicked")) {
        QAction *action = actionOf(id);
        // After the answer has gone: what the action does may take a while, or remove the
        // very item that was clicked.
        if (action && action->isEnabled())
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    } else if (eventId == QLatin1String("hovered")) {
        if (QAction *action = actionOf(id))
            QMetaObject::invokeMethod(action, &QAction::hovered, Qt::QueuedConnection);
    } else if (eventId == QLatin1String("closed")) {
        // There is no call for a menu closing; this event is how the desktop says so.
        if (QMenu *menu = menuOf(id))
            Q_EMIT menu->aboutToHide();
    }
}

QList<int> ExportedMenu::EventGroup(const QList<MenuEvent> &events) {
    QList<int> unknown;
    for (const MenuEvent &event : events) {
        if (event.id != 0 && !actionOf(event.id))
            unknown << event.id;
        else
            Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return unknown;
}

bool ExportedMenu::AboutToShow(int id) {
    follow();
    QMenu *menu = menuOf(id);
    if (!menu)
        return false;
    Q_EMIT menu->aboutToShow();
    // Whatever the menu changed on its way to being shown is sent now, and the desktop is told
    // to read the layout again if it changed.
    return flush();
}

QList<int> ExportedMenu::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors) {
    QList<int> updatesNeeded;
    idErrors.clear();
    for (const int id : ids) {
        if (id != 0 && !actionOf(id))
            idErrors << id;
        else if (AboutToShow(id))
            updatesNeeded << id;
    }
    return updatesNeeded;
}

QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::Item &item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::Item &item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::ItemKeys &keys) {
    argument.beginStructure();
    argument << keys.id << keys.keys;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::ItemKeys &keys) {
    argument.beginStructure();
    argument >> keys.id >> keys.keys;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::LayoutItem &item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const ExportedMenu::LayoutItem &child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::LayoutItem &item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        ExportedMenu::LayoutItem parsed;
        qvariant_cast<QDBusArgument>(child.variant()) >> parsed;
        item.children.append(parsed);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const ExportedMenu::MenuEvent &event) {
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ExportedMenu::MenuEvent &event) {
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}
