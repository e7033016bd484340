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
    rows_ = engine_->hosts();
    connect(engine_, &TRHostController::hostAdded, this,
            [this](const std::shared_ptr<Host> &host, int index) {
                index = std::clamp(index, 0, int(rows_.size()));
                beginInsertRows(QModelIndex(), index, index);
                rows_.insert(rows_.begin() + index, host);
                endInsertRows();
            });
    connect(engine_, &TRHostController::hostRemoved, this, [this](const Host &host) {
        const int row = rowOf(&host);
        if (row < 0)
            return;
        beginRemoveRows(QModelIndex(), row, row);
        rows_.erase(rows_.begin() + row);
        endRemoveRows();
    });
    connect(engine_, &TRHostController::hostMoved, this, [this](const Host &host, int, int to) {
        const int from = rowOf(&host);
        to = std::clamp(to, 0, int(rows_.size()) - 1);
        if (from < 0 || from == to)
            return;
        // Qt counts the destination before the move: the gap above the row it lands on.
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
        std::shared_ptr<Host> moving = rows_[size_t(from)];
        rows_.erase(rows_.begin() + from);
        rows_.insert(rows_.begin() + to, std::move(moving));
        endMoveRows();
    });
    connect(engine_, &TRHostController::hostsReplaced, this, &HostListModel::reload);
    // Names and dots follow edits, and dots and sparklines the checks.
    connect(engine_, &TRHostController::hostChanged, this,
            [this](const Host &host) { rowOfHostChanged(&host); });
    connect(engine_, &TRHostController::stateChanged, this,
            [this](const Host &host) { rowOfHostChanged(&host); });
    if (history_)
        connect(history_, &HistoryStore::recorded, this, &HostListModel::rowOfHostChanged);
}

void HostListModel::rowOfHostChanged(const Host *host) {
    const int row = rowOf(host);
    if (row >= 0) {
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed);
    }
}

std::shared_ptr<Host> HostListModel::hostAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return rows_.at(size_t(row));
}

int HostListModel::rowOf(const Host *host) const {
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row].get() == host)
            return int(row);
    return -1;
}

const HostHistory *HostListModel::historyAt(int row) const {
    if (!history_ || row < 0 || row >= rowCount())
        return nullptr;
    return history_->history(*rows_.at(size_t(row)));
}

int HostListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant HostListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Host &host = *rows_.at(size_t(index.row()));
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
    const std::shared_ptr<Host> &host = rows_.at(size_t(lowest->row()));
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
    const HostList &hosts = engine_->hosts();
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
    // The listed object moves, not the decoded copy: tray icons, an open form and requests in
    // flight all hold it.
    const std::shared_ptr<Host> moving = *from;
    engine_->moveHost(moving, targetIndex(f, std::clamp(dropRow, 0, int(hosts.size()))));
    return true;
}

void HostListModel::reload() {
    beginResetModel();
    rows_ = engine_->hosts();
    endResetModel();
}
