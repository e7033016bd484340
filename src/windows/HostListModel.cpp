#include "windows/HostListModel.h"

#include "app/AppDelegate.h"
#include "drawing/PaintedIcon.h"
#include "drawing/StatusColors.h"
#include "history/HistoryStore.h"
#include "menuitems/LMMenuItem.h"
#include "monitoring/HostName.h"
#include "monitoring/HostStore.h"
#include "monitoring/TRHostController.h"
#include "text/ElidedText.h"

#include <QJsonDocument>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

HostListModel::HostListModel(TRHostController *engine, QObject *parent, HistoryStore *history)
    : QAbstractListModel(parent)
    , engine_(engine)
    , history_(history) {
    if (!history_)
        if (AppDelegate *delegate = AppDelegate::current())
            history_ = delegate->historyStore();
    // Dots and sparklines follow the checks without waiting for the next save.
    connect(engine_, &TRHostController::stateChanged, this,
            [this](const Host &host) { rowOfHostChanged(&host); });
    if (history_)
        connect(history_, &HistoryStore::recorded, this, &HostListModel::rowOfHostChanged);
}

void HostListModel::rowOfHostChanged(const Host *host) {
    const HostList &hosts = engine_->hosts();
    for (size_t row = 0; row < hosts.size(); ++row)
        if (hosts[row].get() == host) {
            const QModelIndex changed = index(int(row), 0);
            Q_EMIT dataChanged(changed, changed);
        }
}

std::shared_ptr<Host> HostListModel::hostAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return engine_->hosts().at(size_t(row));
}

int HostListModel::rowOf(const Host *host) const {
    const HostList &hosts = engine_->hosts();
    for (size_t row = 0; row < hosts.size(); ++row)
        if (hosts[row].get() == host)
            return int(row);
    return -1;
}

const HostHistory *HostListModel::historyAt(int row) const {
    if (!history_ || row < 0 || row >= rowCount())
        return nullptr;
    return history_->history(*engine_->hosts().at(size_t(row)));
}

int HostListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(engine_->hosts().size());
}

QVariant HostListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Host &host = *engine_->hosts().at(size_t(index.row()));
    const QString name = host.string();
    // A long name is shortened as in the menu; its tooltip shows it whole.
    if (role == Qt::DisplayRole)
        return elided(name, LMMenuItem::longestTitle);
    if (role == Qt::ToolTipRole)
        return name;
    if (role == Qt::DecorationRole) {
        const QColor color = StatusColors::of(host);
        return PaintedIcon::make(QSizeF(10, 10), [color](QPainter &painter, const QRectF &r) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(r);
        });
    }
    return {};
}

Qt::ItemFlags HostListModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    // Rows accept drops only so that a drop onto a row can be told apart, and refused.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
}

QStringList HostListModel::mimeTypes() const {
    return {QString::fromLatin1(mimeType)};
}

QMimeData *HostListModel::mimeData(const QModelIndexList &indexes) const {
    if (indexes.isEmpty())
        return nullptr;
    const auto lowest = std::min_element(
        indexes.begin(), indexes.end(),
        [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    if (lowest->row() < 0 || lowest->row() >= rowCount())
        return nullptr;
    const std::shared_ptr<Host> &host = engine_->hosts().at(size_t(lowest->row()));
    const std::optional<QJsonObject> json = HostStore::encodeHost(*host);
    if (!json)
        return nullptr;
    dragged_ = host;
    auto *data = new QMimeData; // handed to the drag, which owns it
    data->setData(QString::fromLatin1(mimeType),
                  QJsonDocument(*json).toJson(QJsonDocument::Compact));
    return data;
}

bool HostListModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                    const QModelIndex &parent) const {
    // A valid parent means onto a row.
    return data && data->hasFormat(QString::fromLatin1(mimeType)) && !parent.isValid();
}

bool HostListModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                 const QModelIndex &parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    return moveHost(data, row < 0 ? rowCount() : row);
}

bool HostListModel::moveHost(const QMimeData *data, int dropRow) {
    if (!data || !data->hasFormat(QString::fromLatin1(mimeType)))
        return false;
    const QJsonDocument document =
        QJsonDocument::fromJson(data->data(QString::fromLatin1(mimeType)));
    const std::shared_ptr<Host> decoded =
        document.isObject() ? HostStore::decodeHost(document.object()) : nullptr;
    HostList &hosts = engine_->hosts();
    if (!decoded || hosts.empty())
        return false;

    // The object that was dragged, if it is still listed under the name the drag carried;
    // otherwise the first host with that name.
    auto from = hosts.end();
    if (const std::shared_ptr<Host> dragged = dragged_.lock())
        if (sameHostName(dragged->string(), decoded->string()))
            from = std::find(hosts.begin(), hosts.end(), dragged);
    if (from == hosts.end())
        from = std::find_if(hosts.begin(), hosts.end(), [&](const auto &host) {
            return sameHostName(host->string(), decoded->string());
        });
    if (from == hosts.end())
        return false;

    const int f = int(from - hosts.begin());
    const int t = targetIndex(f, std::clamp(dropRow, 0, int(hosts.size())));
    // The listed object moves, not the decoded copy: tray icons, an open form and requests in
    // flight all hold it.
    std::shared_ptr<Host> moving = *from;
    hosts.erase(from);
    hosts.insert(hosts.begin() + t, std::move(moving));
    engine_->save();
    return true;
}

void HostListModel::reload() {
    beginResetModel();
    endResetModel();
}
