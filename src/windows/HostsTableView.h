#pragma once

#include <QListView>

#include <memory>

class Host;

// The hosts table: one column of names, 20-point rows with a hairline under each, reordered by
// dragging a row into a gap between rows. A QListView rather than a table view: the latter
// drops in overwrite mode and deletes a row after a move.
class HostsTableView : public QListView {
    Q_OBJECT
public:
    enum class DropPosition { Between, OnRow };

    explicit HostsTableView(QWidget *parent = nullptr);

    // A drop is taken only from this very table, and only into a gap between rows.
    static bool accepts(const QObject *source, const QObject *table, DropPosition position);

    // Reloads every row. The selection stays with the host it was on, wherever that host now
    // is; when that host itself is gone, it stays on its row. Rows that come and go one by one
    // keep it the same way.
    void reloadData();

    void setModel(QAbstractItemModel *model) override;

    using QAbstractScrollArea::setViewportMargins;
    using QAbstractScrollArea::viewportMargins;

protected:
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool acceptsCurrentDrop(const QDropEvent *event) const;

    // The host the selection was put on: by the time a reset comes, the list has already
    // changed under the row index.
    std::weak_ptr<Host> selectedHost_;
    // The selected row while it is being removed, for the row that takes its place.
    int removedSelectedRow_ = -1;
    // The selected row while the model resets.
    int resetSelectedRow_ = -1;
};
