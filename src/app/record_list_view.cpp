#include "app/record_list_view.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "app/record_cell_delegate.h"

namespace gaugemon::app {

RecordListView::RecordListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new RecordCellDelegate(this));
    // The table view hears of a new row count from its row header; it takes
    // it here instead.
    disconnect(verticalHeader(), SIGNAL(sectionCountChanged(int, int)), this, SLOT(rowCountChanged(int, int)));
    connect(verticalHeader(), &QHeaderView::sectionCountChanged, this, &RecordListView::rowsCounted);
    // Every new range lays the scroll bars out again (later, through the
    // event loop), and that repaints both bars and the frame round them at
    // every new row. It is asked for only when the bar comes or goes.
    const bool taken =
        disconnect(verticalScrollBar(), SIGNAL(rangeChanged(int, int)), this, SLOT(_q_showOrHideScrollBars()));
    if (taken) connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &RecordListView::rangeChanged);
}

void RecordListView::rowsCounted(int oldCount, int newCount) {
    // Fewer rows (a cleared table), none laid out yet, or the first that need
    // a scroll bar: the table view lays itself out again.
    if (newCount <= oldCount || oldCount == 0 || !lengthenScrollRange(newCount)) {
        rowCountChanged(oldCount, newCount);
        return;
    }
    const int firstNew = rowViewportPosition(oldCount);
    const int top = firstNew >= 0 ? firstNew : viewport()->height();
    if (top < viewport()->height()) viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

bool RecordListView::lengthenScrollRange(int rowCount) {
    QScrollBar* bar = verticalScrollBar();
    const QHeaderView* rows = verticalHeader();
    const int rowHeight = rows->defaultSectionSize();
    // Hidden rows, or a row header that widens with the numbers it shows,
    // are left to the table view's own layout.
    if (verticalScrollMode() != ScrollPerItem || rowHeight <= 0 || !bar->isVisibleTo(this) ||
        bar->maximum() <= bar->minimum() || rows->hiddenSectionCount() > 0 || !rows->isHidden())
        return false;
    // Rows all of one height, scrolled a row at a time, as the table view
    // itself works the range out.
    const int rowsShown = std::clamp(viewport()->height() / rowHeight, 1, rowCount);
    bar->setRange(0, rowCount - rowsShown);
    bar->setPageStep(rowsShown);
    return true;
}

void RecordListView::rangeChanged(int minimum, int maximum) {
    const Qt::ScrollBarPolicy policy = verticalScrollBarPolicy();
    const bool needed = policy == Qt::ScrollBarAlwaysOn || (policy == Qt::ScrollBarAsNeeded && maximum > minimum);
    if (needed != verticalScrollBar()->isVisibleTo(this))
        QMetaObject::invokeMethod(this, "_q_showOrHideScrollBars", Qt::QueuedConnection);
}

}  // namespace gaugemon::app
