// The record list scrolls and looks as a table view would, while new rows
// repaint only themselves.
#include <gtest/gtest.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QPaintEvent>
#include <QScrollBar>

#include "app/record_list_view.h"

namespace gaugemon::app {
namespace {

class GrowingModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        if (role != Qt::DisplayRole) return {};
        return QStringLiteral("%1.%2").arg(index.row()).arg(index.column() * 111);
    }
    void append(int count) {
        beginInsertRows({}, rows_, rows_ + count - 1);
        rows_ += count;
        endInsertRows();
    }
    void clear() {
        beginResetModel();
        rows_ = 0;
        endResetModel();
    }

private:
    int rows_ = 0;
};

// Records what each paint of a widget covered.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

void settle() {
    for (int i = 0; i < 4; ++i) QApplication::processEvents();
}

struct Lists {
    GrowingModel model;
    QWidget window;
    RecordListView* list = new RecordListView(&window);
    QTableView* plain = new QTableView(&window);

    Lists() {
        window.resize(640, 160);
        for (QTableView* view : {static_cast<QTableView*>(list), plain}) {
            view->setModel(&model);
            view->resize(300, 150);
            view->verticalHeader()->hide();
            view->verticalHeader()->setDefaultSectionSize(20);
            view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        }
        plain->move(320, 0);
        window.show();
        settle();
    }
    void expectAlike(const char* when) const {
        const QScrollBar* a = list->verticalScrollBar();
        const QScrollBar* b = plain->verticalScrollBar();
        EXPECT_EQ(a->maximum(), b->maximum()) << when;
        EXPECT_EQ(a->pageStep(), b->pageStep()) << when;
        EXPECT_EQ(a->isVisible(), b->isVisible()) << when;
        EXPECT_EQ(list->viewport()->geometry(), plain->viewport()->geometry()) << when;
    }
};

TEST(RecordListView, ScrollsAndLooksLikeATableViewAsRowsComeAndGo) {
    Lists lists;
    for (int step = 0; step < 12; ++step) {
        lists.model.append(step % 3 + 1);
        settle();
        lists.expectAlike(qPrintable(QStringLiteral("after step %1").arg(step)));
    }
    lists.list->scrollToBottom();
    lists.plain->scrollToBottom();
    settle();
    // Cell by cell, pixel for pixel.
    EXPECT_EQ(lists.list->grab().toImage(), lists.plain->grab().toImage());

    lists.model.clear();
    settle();
    lists.expectAlike("cleared");
    lists.model.append(1);
    settle();
    lists.expectAlike("a row after clearing");
}

TEST(RecordListView, HiddenRowsAndAShownRowHeaderTakeTheTableViewsLayout) {
    Lists lists;
    lists.model.append(12);
    for (QTableView* view : {static_cast<QTableView*>(lists.list), lists.plain}) {
        for (int row = 0; row < 5; ++row) view->hideRow(row);
        view->verticalHeader()->show();
    }
    settle();
    for (const int rows : {100, 1000}) {
        lists.model.append(rows - lists.model.rowCount());
        settle();
        lists.expectAlike(qPrintable(QStringLiteral("at %1 rows").arg(rows)));
    }
}

TEST(RecordListView, ANewRowAtTheBottomRepaintsItsOwnLine) {
    Lists lists;
    lists.model.append(20);
    lists.list->scrollToBottom();
    settle();
    auto* watch = new PaintWatch(lists.list->viewport());
    lists.model.append(1);
    lists.list->scrollToBottom();
    settle();
    ASSERT_FALSE(watch->painted.isEmpty());
    EXPECT_LE(watch->painted.boundingRect().height(), 2 * 20);
    EXPECT_EQ(watch->painted.boundingRect().bottom(), lists.list->viewport()->height() - 1);
}

}  // namespace
}  // namespace gaugemon::app
