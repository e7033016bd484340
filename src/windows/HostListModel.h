#pragma once

#include "monitoring/Host.h"
#include "monitoring/HostStore.h"

#include <QAbstractListModel>
#include <QPointer>

#include <memory>

class HistoryStore;
class HostHistory;
class TRHostController;

// The engine's host list as the hosts table sees it: row i is host i, showing its status dot and
// name, and its recent checks for the row's sparkline. Rows follow the engine's announcements
// one by one (inserted, removed, moved, changed), so a view keeps its selection on its host. A
// drag carries one host as JSON under a private type; a drop asks the engine to move that host.
class HostListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr const char *mimeType = "public.trhostcontroller.host";

    // Histories come from `history` when given, otherwise from the application's store.
    explicit HostListModel(TRHostController *engine, QObject *parent = nullptr,
                           HistoryStore *history = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // Moves the host carried by `data` to the gap above row `dropRow` (the row count means
    // below the last row). False, with nothing changed, when the data does not decode or its
    // host is no longer listed.
    bool moveHost(const QMimeData *data, int dropRow);
    // Where a host at `from` lands for a drop above row `dropRow`.
    static int targetIndex(int from, int dropRow) { return from < dropRow ? dropRow - 1 : dropRow; }

    // The host of row `row`, or null.
    std::shared_ptr<Host> hostAt(int row) const;
    // The row of this very host, or -1.
    int rowOf(const Host *host) const;

    // The recent checks of row `row`'s host; null when there are none to show.
    const HostHistory *historyAt(int row) const;

    // Every row may have changed (the whole list was replaced).
    void reload();

private:
    void rowOfHostChanged(const Host *host);

    TRHostController *engine_;
    // The engine's list as the rows last announced it.
    HostList rows_;
    QPointer<HistoryStore> history_;
    // The host a drag from this table started with: a drop moves that object, even when
    // another host has the same name.
    mutable std::weak_ptr<Host> dragged_;
};
