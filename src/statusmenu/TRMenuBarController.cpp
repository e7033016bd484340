#include "statusmenu/TRMenuBarController.h"

#include "app/AppDelegate.h"
#include "app/BuildInfo.h"
#include "drawing/DigitAlignedFont.h"
#include "drawing/NamedImages.h"
#include "drawing/PaintedIcon.h"
#include "drawing/StatusColors.h"
#include "login/LoginItem.h"
#include "menuitems/LMMenuItem.h"
#include "monitoring/Host.h"
#include "monitoring/HostName.h"
#include "monitoring/TRHostController.h"
#include "settings/Settings.h"
#include "statusmenu/DateText.h"
#include "statusmenu/MenuRowToolTips.h"
#include "trayitem/StatusItem.h"
#include "updates/Updater.h"
#include "windows/HostsTableView.h"
#include "windows/TRHostsWindow.h"
#include "windows/TRHostsWindowController.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {
std::shared_ptr<Host> hostOf(const QAction *action) {
    const auto *row = qobject_cast<const LMMenuItem *>(action);
    return row ? std::dynamic_pointer_cast<Host>(row->modelObject()) : nullptr;
}
} // namespace

TRMenuBarController::TRMenuBarController(QObject *parent)
    : QObject(parent)
    , statusItem_(std::make_unique<StatusItem>(lengthWithoutTitle))
    , menu_(std::make_unique<QMenu>())
    , pingFrequencyMenu_(std::make_unique<QMenu>())
    , moreMenu_(std::make_unique<QMenu>())
    , menuIsExported_(statusItem_->isExported()) {
    statusItem_->button()->setImage(NamedImages::icon(QStringLiteral("menubarIcon")));
    statusItem_->setMenu(menu_.get());
    // The tray is known a moment after the start, and may change kind while Tarvik runs (a
    // panel started later): the rows take the form that tray reads.
    connect(statusItem_.get(), &StatusItem::exportedChanged, this, [this](bool exported) {
        menuIsExported_ = exported;
        if (!menu_->isVisible())
            setRowsExported(exported);
    });
    // Tarvik's own pop-up can show widgets even where the desktop shows an exported copy.
    connect(statusItem_.get(), &StatusItem::menuWillPopUp, this,
            [this] { setRowsExported(false); });
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] { setRowsExported(menuIsExported_); });
    // Rows get their submenus when the menu is about to be seen, and let them go once it has
    // closed, so a long list costs little while the menu is shut.
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        for (LMMenuItem *row : hostRows())
            row->ensureSubmenu();
    });
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (menu_->isVisible())
                return;
            for (LMMenuItem *row : hostRows())
                row->releaseSubmenu();
        });
    });
    // A row's tooltip is its host's line; Qt's own menu tooltips would never reach a row, whose
    // submenu opens first, and would read a name like "<b>x</b>" as markup.
    new MenuRowToolTips(menu_.get(), [](const QAction *action) {
        return hostOf(action) ? action->toolTip() : QString();
    });
    toolTipTimer_.setSingleShot(true);
    toolTipTimer_.setInterval(250);
    connect(&toolTipTimer_, &QTimer::timeout, this, &TRMenuBarController::updateToolTip);
    buildMenu();
}

TRMenuBarController::~TRMenuBarController() {
    if (hostController_ && hostController_->menuBarController() == this)
        hostController_->setMenuBarController(nullptr);
}

void TRMenuBarController::buildMenu() {
    menu_->addAction(QStringLiteral("Manage"), this, &TRMenuBarController::manageClick);
    menu_->addSeparator();
    addPingItems();
    menu_->addSeparator();
    addMoreMenu();
    menu_->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
}

QAction *TRMenuBarController::addCheckableItem(QMenu *menu, const QString &title,
                                               void (TRMenuBarController::*slot)(QAction *)) {
    QAction *item = menu->addAction(title);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item, slot] {
        item->setChecked(!item->isChecked());
        (this->*slot)(item);
    });
    return item;
}

void TRMenuBarController::addPingItems() {
    menu_->addAction(QStringLiteral("Ping Now"), this, &TRMenuBarController::pingClick);
    for (const Frequency &frequency : frequencies) {
        QAction *item =
            addCheckableItem(pingFrequencyMenu_.get(), QString::fromLatin1(frequency.title),
                             &TRMenuBarController::frequencyClick);
        item->setData(frequency.seconds);
    }
    const qint64 stored = Settings::wholePingFrequency().value_or(60);
    for (QAction *item : pingFrequencyMenu_->actions())
        if (item->data().toLongLong() == stored)
            item->setChecked(true);
    pingFrequencyMenu_->setTitle(QStringLiteral("Ping Frequency"));
    menu_->addMenu(pingFrequencyMenu_.get());
}

void TRMenuBarController::addMoreMenu() {
    launchAtLoginMenuItem_ = addCheckableItem(moreMenu_.get(), QStringLiteral("Launch at Login"),
                                              &TRMenuBarController::toggleLaunchAtLogin);
    // The registration follows the stored choice at every start. The stored choice stays when
    // that fails, so the next start tries again; the item shows what is registered.
    const bool launchAtLogin = Settings::launchAtLogin();
    QString why;
    if (registerLoginItem(launchAtLogin, &why)) {
        launchAtLoginMenuItem_->setChecked(launchAtLogin);
    } else {
        launchAtLoginMenuItem_->setChecked(LoginItem::isEnabled(helperIdentifier()));
        sayFailure(loginItemFailureText(launchAtLogin, why));
    }
    notificationsMenuItem_ = addCheckableItem(moreMenu_.get(), QStringLiteral("Notifications"),
                                              &TRMenuBarController::toggleNotifications);
    notificationsMenuItem_->setChecked(Settings::notificationsEnabled());
    moreMenu_->addSeparator();
    if (AppDelegate *delegate = AppDelegate::current()) {
        QAction *check = moreMenu_->addAction(QStringLiteral("Check for Updates"));
        // Without an updater the item has no target, and so does nothing.
        if (Updater *updater = delegate->updater())
            connect(check, &QAction::triggered, updater, &Updater::checkForUpdates);
        else
            check->setEnabled(false);
    }
    supportMenuItem_ =
        moreMenu_->addAction(QStringLiteral("Support"), this, &TRMenuBarController::supportClick);
    rateMenuItem_ =
        moreMenu_->addAction(QStringLiteral("Rate Tarvik"), this, &TRMenuBarController::rateClick);
    setProjectPage(BuildInfo::projectPage());
    moreMenu_->setTitle(QStringLiteral("More"));
    menu_->addMenu(moreMenu_.get());
}

QString TRMenuBarController::helperIdentifier() {
    return QString::fromLatin1(LoginItem::helperIdentifier);
}

bool TRMenuBarController::registerLoginItem(bool enabled, QString *why) {
    if (LoginItem::setEnabled(helperIdentifier(), enabled, why))
        return true;
    std::puts(loginItemFailure);
    std::fflush(stdout);
    return false;
}

QString TRMenuBarController::loginItemFailureText(bool enabled, const QString &why) {
    return (enabled ? QStringLiteral("Tarvik cannot be set to start at login: ")
                    : QStringLiteral("Tarvik cannot be kept from starting at login: ")) +
           why + u'.';
}

QString TRMenuBarController::unstoredText(const QString &what) {
    return QStringLiteral("The %1 cannot be saved in %2, so it stays as it was.")
        .arg(what, Settings::fileName());
}

void TRMenuBarController::sayFailure(const QString &text) {
    if (!failureBox_) {
        failureBox_ = std::make_unique<QMessageBox>();
        failureBox_->setWindowTitle(QStringLiteral("Tarvik"));
        failureBox_->setIcon(QMessageBox::Warning);
        failureBox_->setTextFormat(Qt::PlainText);
        failureBox_->setStandardButtons(QMessageBox::Ok);
        failureBox_->setWindowModality(Qt::NonModal);
    }
    failureBox_->setText(text);
    failureBox_->show();
    failureBox_->raise();
    failureBox_->activateWindow();
}

void TRMenuBarController::pingClick() {
    if (hostController_)
        hostController_->ping();
}

void TRMenuBarController::frequencyClick(QAction *sender) {
    const qint64 current =
        static_cast<qint64>(hostController_ ? hostController_->pingFrequency() : 60.0);
    if (!Settings::setPingFrequency(sender->data().toLongLong())) {
        // The engine reads the stored frequency, which is still the old one; the marks say so.
        sayFailure(unstoredText(QStringLiteral("ping frequency")));
        return;
    }
    for (QAction *item : pingFrequencyMenu_->actions())
        if (item->data().toLongLong() == current)
            item->setChecked(false);
    sender->setChecked(true);
    updateToolTip();
}

void TRMenuBarController::toggleLaunchAtLogin(QAction *sender) {
    const bool enable = !sender->isChecked();
    QString why;
    if (!registerLoginItem(enable, &why)) {
        sender->setChecked(LoginItem::isEnabled(helperIdentifier()));
        sayFailure(loginItemFailureText(enable, why));
        return;
    }
    if (!Settings::setLaunchAtLogin(enable)) {
        // Unstored, the choice would be undone at the next start; it is undone now.
        registerLoginItem(!enable, nullptr);
        sender->setChecked(LoginItem::isEnabled(helperIdentifier()));
        sayFailure(unstoredText(QStringLiteral("\"Launch at Login\" choice")));
        return;
    }
    sender->setChecked(enable);
}

void TRMenuBarController::toggleNotifications(QAction *sender) {
    const bool enable = !sender->isChecked();
    if (!Settings::setNotificationsEnabled(enable)) {
        sayFailure(unstoredText(QStringLiteral("\"Notifications\" choice")));
        return;
    }
    sender->setChecked(enable);
}

void TRMenuBarController::supportClick() {
    if (!projectPage_.isEmpty())
        openURLString(projectPage_);
}

void TRMenuBarController::rateClick() {
    if (!projectPage_.isEmpty())
        openURLString(projectPage_);
}

void TRMenuBarController::setProjectPage(const QString &address) {
    projectPage_ = address;
    supportMenuItem_->setEnabled(!address.isEmpty());
    rateMenuItem_->setEnabled(!address.isEmpty());
}

void TRMenuBarController::openURLString(const QString &address) {
    QDesktopServices::openUrl(QUrl(address));
}

void TRMenuBarController::setHostController(TRHostController *hostController) {
    hostController_ = hostController;
    if (!hostController_)
        return;
    hostController_->setMenuBarController(this);
    hostsWindowController_ =
        std::make_unique<TRHostsWindowController>(statusItem_->button(), hostController_);
    connect(hostController_, &TRHostController::checkFinished, this, [this] {
        if (!toolTipTimer_.isActive())
            toolTipTimer_.start();
    });
    connect(hostController_, &TRHostController::roundFinished, this,
            &TRMenuBarController::updateToolTip);
    connect(hostController_, &TRHostController::offlineChanged, this,
            &TRMenuBarController::showOfflineLook);
    // Rows follow the list one host at a time; a row open with its submenu is never rebuilt.
    connect(hostController_, &TRHostController::hostAdded, this, &TRMenuBarController::insertRow);
    connect(hostController_, &TRHostController::hostRemoved, this, &TRMenuBarController::removeRow);
    connect(hostController_, &TRHostController::hostMoved, this, &TRMenuBarController::moveRow);
    connect(hostController_, &TRHostController::hostsReplaced, this, [this] {
        reloadHostItems();
        setDownCount(hostController_->downCount());
    });
    reloadHostItems();
    downCount_ = hostController_->downCount();
    // The machine may have gone offline before the link, when no one was listening yet.
    showOfflineLook();
}

QString TRMenuBarController::hostLine(const Host &host) {
    const bool slow = host.isActive() && host.isReachable() == true && host.isSlow();
    return host.string() + QStringLiteral(": ") +
           (slow ? host.slowReason() : host.lastOutcome().shortText());
}

void TRMenuBarController::showOfflineLook() {
    const bool offline = hostController_ && hostController_->isOffline();
    const QIcon icon = NamedImages::icon(QStringLiteral("menubarIcon"));
    if (!offline) {
        statusItem_->button()->setImage(icon);
    } else {
        // The same shape, flat gray: every pixel keeps its coverage and loses its colour.
        QImage shape = icon.pixmap(QSize(80, 80)).toImage().convertToFormat(QImage::Format_ARGB32);
        const QColor gray = StatusColors::gray();
        for (int y = 0; y < shape.height(); ++y)
            for (int x = 0; x < shape.width(); ++x)
                shape.setPixel(
                    x, y, qRgba(gray.red(), gray.green(), gray.blue(), qAlpha(shape.pixel(x, y))));
        const QPixmap gray80 = QPixmap::fromImage(shape);
        statusItem_->button()->setImage(
            PaintedIcon::make(QSizeF(20, 20), [gray80](QPainter &painter, const QRectF &r) {
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.drawPixmap(r, gray80, QRectF(gray80.rect()));
            }));
    }
    setDownCount(downCount_);
    updateToolTip();
}

QList<LMMenuItem *> TRMenuBarController::hostRows() const {
    QList<LMMenuItem *> rows;
    for (QAction *action : menu_->actions()) {
        if (!hostOf(action))
            break;
        rows.append(qobject_cast<LMMenuItem *>(action));
    }
    return rows;
}

QIcon TRMenuBarController::statusDot(const Host &host) {
    // Four colours, so four icons shared by every row.
    static QHash<QRgb, QIcon> dots;
    const QColor color = StatusColors::of(host);
    QIcon &dot = dots[color.rgba()];
    if (dot.isNull())
        dot = PaintedIcon::make(QSizeF(10, 10), [color](QPainter &painter, const QRectF &r) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(r);
        });
    return dot;
}

void TRMenuBarController::reloadHostItems() {
    // The hosts table follows the engine's announcements by itself.
    static const HostList noHosts;
    const HostList &hosts = hostController_ ? hostController_->hosts() : noHosts;

    // Rows are kept and updated in place: a row may be open with its submenu, and a desktop
    // showing an exported copy of the menu reaches items by ids that last only as long as their
    // actions. Only rows whose host left the list go, later, since one may be in the middle of
    // handling its own click.
    QHash<const Host *, QList<LMMenuItem *>> unused;
    for (LMMenuItem *row : hostRows())
        unused[hostOf(row).get()].append(row);
    QList<LMMenuItem *> wanted;
    wanted.reserve(qsizetype(hosts.size()));
    for (const std::shared_ptr<Host> &host : hosts) {
        QList<LMMenuItem *> &kept = unused[host.get()];
        wanted.append(kept.isEmpty() ? makeRow(host) : kept.takeFirst());
    }
    for (const QList<LMMenuItem *> &rows : std::as_const(unused))
        for (LMMenuItem *row : rows) {
            menu_->removeAction(row);
            row->deleteLater();
        }

    // Put the rows in list order at the top; a row already in its place is not touched.
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        const QList<QAction *> actions = menu_->actions();
        if (i < actions.size() && actions[i] == wanted[i])
            continue;
        menu_->insertAction(i < actions.size() ? actions[i] : nullptr, wanted[i]);
    }
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        wanted[i]->refresh();
        setDot(wanted[i], *hosts[size_t(i)]);
        setLine(wanted[i], *hosts[size_t(i)]);
    }
    showAddHostRow(hosts.empty() && hostController_);
}

LMMenuItem *TRMenuBarController::makeRow(const std::shared_ptr<Host> &host) {
    auto *row = new LMMenuItem(host, menu_.get());
    row->setDelegate(this);
    row->setExportedForm(menuIsExported_ && !menu_->isVisible());
    if (menu_->isVisible())
        row->ensureSubmenu();
    return row;
}

LMMenuItem *TRMenuBarController::rowOf(const Host &host) const {
    for (LMMenuItem *row : hostRows())
        if (hostOf(row).get() == &host)
            return row;
    return nullptr;
}

void TRMenuBarController::placeRow(LMMenuItem *row, int index) {
    const QList<LMMenuItem *> rows = hostRows();
    // Before the row now at `index`, or else before whatever follows the rows.
    QAction *before =
        index >= 0 && index < rows.size() ? rows[index] : menu_->actions().value(rows.size());
    menu_->insertAction(before, row);
}

void TRMenuBarController::insertRow(const std::shared_ptr<Host> &host, int index) {
    if (rowOf(*host))
        return;
    LMMenuItem *row = makeRow(host);
    showAddHostRow(false);
    placeRow(row, index);
    row->refresh();
    setDot(row, *host);
    setLine(row, *host);
}

void TRMenuBarController::removeRow(const Host &host) {
    // Later, since the row may be in the middle of handling its own click.
    if (LMMenuItem *row = rowOf(host)) {
        menu_->removeAction(row);
        row->deleteLater();
    }
    showAddHostRow(hostRows().isEmpty() && hostController_);
}

void TRMenuBarController::moveRow(const Host &host, int, int to) {
    LMMenuItem *row = rowOf(host);
    if (!row)
        return;
    menu_->removeAction(row);
    placeRow(row, to);
}

void TRMenuBarController::showAddHostRow(bool show) {
    if (show == bool(addHostItem_))
        return;
    if (!show) {
        menu_->removeAction(addHostItem_);
        addHostItem_->deleteLater();
        addHostItem_ = nullptr;
        return;
    }
    addHostItem_ = new QAction(QStringLiteral("Add Host\u2026"), menu_.get());
    connect(addHostItem_, &QAction::triggered, this, &TRMenuBarController::addHostClick);
    menu_->insertAction(menu_->actions().value(0), addHostItem_);
}

void TRMenuBarController::addHostClick() {
    if (AppDelegate *delegate = AppDelegate::current())
        delegate->showEditHostWindow(nullptr);
}

void TRMenuBarController::setLine(LMMenuItem *row, const Host &host) {
    // After the row's own refresh, whose name-only tooltip this line includes.
    const QString line = hostLine(host);
    if (row->toolTip() != line)
        row->setToolTip(line);
}

void TRMenuBarController::setDot(LMMenuItem *row, const Host &host) {
    const QIcon dot = statusDot(host);
    // The dots are shared, so an unchanged colour is the same icon and is not sent again.
    if (row->icon().cacheKey() != dot.cacheKey())
        row->setIcon(dot);
}

void TRMenuBarController::refreshHostItem(const Host &host) {
    // The row of this very host; failing that, as rows were always found, the first row with
    // its name (redrawn from that row's own host).
    const QList<LMMenuItem *> rows = hostRows();
    LMMenuItem *match = nullptr;
    for (LMMenuItem *row : rows)
        if (hostOf(row).get() == &host) {
            match = row;
            break;
        }
    for (LMMenuItem *row : rows) {
        if (match)
            break;
        if (sameHostName(hostOf(row)->string(), host.string()))
            match = row;
    }
    if (match) {
        setDot(match, *hostOf(match));
        match->refresh();
        setLine(match, *hostOf(match));
    }
}

void TRMenuBarController::setDownCount(int count) {
    downCount_ = count;
    // Offline, a count would only repeat what the machine cannot know.
    if (count <= 0 || (hostController_ && hostController_->isOffline())) {
        statusItem_->button()->setAttributedTitle(std::nullopt);
        statusItem_->setLength(lengthWithoutTitle);
        return;
    }
    const AttributedText title{QString::number(count), DigitAlignedFont::font(14),
                               StatusColors::red()};
    statusItem_->button()->setAttributedTitle(title);
    statusItem_->setLength(title.width() + 24.0);
}

void TRMenuBarController::updateToolTip() {
    if (!hostController_)
        return;
    const QDateTime last = hostController_->lastPingDate();
    const QDateTime next =
        last.addMSecs(static_cast<qint64>(hostController_->pingFrequency() * 1000.0));
    QString text = QStringLiteral("Tarvik ") + QStringLiteral(TARVIK_VERSION) +
                   QStringLiteral("\nLast Ping: ") + DateText::shortDateMediumTime(last) +
                   QStringLiteral("\nNext Ping: ") + DateText::shortDateMediumTime(next);
    if (hostController_->isOffline())
        text += QStringLiteral("\n") + QString::fromLatin1(offlineLine);
    if (const int outstanding = hostController_->checksOutstanding())
        text += QStringLiteral("\nChecking: %1 of %2 hosts still answering")
                    .arg(outstanding)
                    .arg(hostController_->checksInRound());
    // The down hosts, then the slow ones, which are up and do not count as down.
    int down = 0;
    int slow = 0;
    QString slowLines;
    for (const auto &host : hostController_->hosts()) {
        if (!host->isActive() || !host->isReachable().has_value())
            continue;
        if (*host->isReachable() == false) {
            if (++down <= downLinesShown)
                text += QStringLiteral("\n") + hostLine(*host);
        } else if (host->isSlow() && ++slow <= downLinesShown) {
            slowLines += QStringLiteral("\n") + hostLine(*host);
        }
    }
    if (down > downLinesShown)
        text += QStringLiteral("\nand %1 more").arg(down - downLinesShown);
    text += slowLines;
    if (slow > downLinesShown)
        text += QStringLiteral("\nand %1 more slow").arg(slow - downLinesShown);
    statusItem_->button()->setToolTip(text);
}

void TRMenuBarController::setRowsExported(bool exported) {
    for (LMMenuItem *row : hostRows()) {
        row->setExportedForm(exported);
        // The row's refresh puts back a tooltip of the name alone; its line says more.
        setLine(row, *hostOf(row));
    }
}

void TRMenuBarController::manageClick() {
    if (hostsWindowController_)
        hostsWindowController_->showWindow();
}

void TRMenuBarController::editModelObject(const std::shared_ptr<LMItemable> &modelObject) {
    const auto host = std::dynamic_pointer_cast<Host>(modelObject);
    AppDelegate *delegate = AppDelegate::current();
    if (!host || !delegate)
        return;
    menu_->close();
    delegate->showEditHostWindow(host);
}

void TRMenuBarController::showDetailsOfModelObject(const std::shared_ptr<LMItemable> &modelObject) {
    const auto host = std::dynamic_pointer_cast<Host>(modelObject);
    AppDelegate *delegate = AppDelegate::current();
    if (!host || !delegate)
        return;
    menu_->close();
    delegate->showDetailsWindow(host);
}

void TRMenuBarController::removeModelObject(const std::shared_ptr<LMItemable> &modelObject) {
    const auto host = std::dynamic_pointer_cast<Host>(modelObject);
    if (!host)
        return;
    // Only Tarvik's own pop-up opens again: where the desktop showed its copy of the menu, that
    // copy was the menu, and a second one at the pointer would be a stranger.
    const bool reopen = menu_->isVisible();
    menu_->hide();
    // After the click that asked for it has been handled, so the row is not deleted under it.
    QTimer::singleShot(0, this, [this, host, reopen] {
        if (hostController_)
            hostController_->removeHost(host);
        if (reopen)
            statusItem_->popUpMenu();
    });
}
