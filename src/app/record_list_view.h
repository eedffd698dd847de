#pragma once
#include <QTableView>

namespace gaugemon::app {

// The record list. Rows are only ever appended to it (or all of them go at
// once): a new row leaves the rows already laid out where they are, so the
// list takes the longer scroll range and paints only the new row, instead of
// laying out and painting every visible cell again as a table view does for
// any change of its row count. Following the newest row then scrolls the
// picture by a row and paints the one row uncovered.
class RecordListView : public QTableView {
public:
    explicit RecordListView(QWidget* parent);

private:
    void rowsCounted(int oldCount, int newCount);
    // Sets the scroll range for `rowCount` rows when the scroll bar is shown
    // already and stays; false when the table view must lay itself out.
    bool lengthenScrollRange(int rowCount);
    void rangeChanged(int minimum, int maximum);
};

}  // namespace gaugemon::app
