#include "windows/HostsTableView.h"

#include "history/HostHistory.h"
#include "historyviews/Sparkline.h"
#include "monitoring/Host.h"
#include "windows/HostListModel.h"
#include "windows/SystemColors.h"

#include <QDragMoveEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <utility>

namespace {
// Rows 20 points high: the host's dot and name, its sparkline at the right, and a horizontal grid
// line along the bottom.
class HostRowDelegate : public QStyledItemDelegate {
public:
    static constexpr int sparklineWidth = 34;

    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 20);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        const auto *hosts = qobject_cast<const HostListModel *>(index.model());
        const HostHistory *history = hosts ? hosts->historyAt(index.row()) : nullptr;
        QStyleOptionViewItem text = option;
        if (history && !history->isEmpty())
            text.rect.setRight(option.rect.right() - sparklineWidth - 4);
        QStyledItemDelegate::paint(painter, text, index);
        if (history && !history->isEmpty()) {
            const QRectF box(option.rect.right() - sparklineWidth - 2, option.rect.top() + 3,
                             sparklineWidth, option.rect.height() - 6);
            const bool selected = option.state & QStyle::State_Selected;
            Sparkline::paint(*painter, box, *history,
                             option.palette.color(selected ? QPalette::HighlightedText
                                                           : QPalette::PlaceholderText));
        }
        painter->save();
        painter->setPen(QPen(SystemColors::quaternaryLabel(), 1));
        const int y = option.rect.bottom();
        painter->drawLine(option.rect.left(), y, option.rect.right(), y);
        painter->restore();
    }
};
} // namespace

HostsTableView::HostsTableView(QWidget *parent)
    : QListView(parent) {
    setItemDelegate(new HostRowDelegate(this));
    setUniformItemSizes(true);
    // The status dot, the size it has in the menu.
    setIconSize(QSize(10, 10));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideRight);
    setFrameShape(QFrame::NoFrame);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDefaultDropAction(Qt::MoveAction);
    viewport()->setAutoFillBackground(false);
}

bool HostsTableView::accepts(const QObject *source, const QObject *table, DropPosition position) {
    return source && source == table && position == DropPosition::Between;
}

void HostsTableView::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QListView::currentChanged(current, previous);
    if (const auto *hosts = qobject_cast<const HostListModel *>(model());
        hosts && current.isValid())
        selectedHost_ = hosts->hostAt(current.row());
}

void HostsTableView::setModel(QAbstractItemModel *model) {
    QListView::setModel(model);
    if (!model)
        return;
    // Connected after the selection model's own: these run once it has done its part.
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        const int row = std::exchange(removedSelectedRow_, -1);
        if (row >= 0 && row < this->model()->rowCount())
            setCurrentIndex(this->model()->index(row, 0));
    });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const bool selected = selectionModel() && selectionModel()->hasSelection();
        resetSelectedRow_ = selected ? currentIndex().row() : -1;
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        const int row = std::exchange(resetSelectedRow_, -1);
        if (row < 0)
            return;
        const std::shared_ptr<Host> host = selectedHost_.lock();
        const auto *hosts = qobject_cast<const HostListModel *>(this->model());
        const int now = hosts && host ? hosts->rowOf(host.get()) : -1;
        const int target = now >= 0 ? now : row;
        if (target < this->model()->rowCount())
            setCurrentIndex(this->model()->index(target, 0));
    });
}

void HostsTableView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
    // Runs before the selection model moves off the rows that go.
    const int current = currentIndex().row();
    const bool selected = selectionModel() && selectionModel()->hasSelection();
    removedSelectedRow_ = selected && current >= start && current <= end ? start : -1;
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

void HostsTableView::reloadData() {
    if (auto *hosts = qobject_cast<HostListModel *>(model()))
        hosts->reload();
}

bool HostsTableView::acceptsCurrentDrop(const QDropEvent *event) const {
    const DropPosition position =
        dropIndicatorPosition() == OnItem ? DropPosition::OnRow : DropPosition::Between;
    // The drag's source is the view the drag started in, which for a list is its viewport's
    // owner: this view.
    return accepts(event->source(), this, position);
}

void HostsTableView::dragEnterEvent(QDragEnterEvent *event) {
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QListView::dragEnterEvent(event);
}

void HostsTableView::dragMoveEvent(QDragMoveEvent *event) {
    QListView::dragMoveEvent(event);
    if (event->isAccepted() && !acceptsCurrentDrop(event))
        event->ignore();
}

void HostsTableView::dropEvent(QDropEvent *event) {
    // The indicator position is still the one the last move computed.
    if (!acceptsCurrentDrop(event)) {
        event->ignore();
        return;
    }
    QListView::dropEvent(event);
}
