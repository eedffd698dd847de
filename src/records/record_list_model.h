#pragma once
#include <QAbstractTableModel>

#include "records/gbk.h"
#include "records/record_table.h"

namespace gaugemon::records {

// The record list on screen: a view on the RecordTable, never a copy. Cells
// are made when the view asks for them, so only the visible rows cost
// anything, and a new row is announced as one inserted row.
class RecordListModel : public QAbstractTableModel, private RecordTableObserver {
    Q_OBJECT
public:
    explicit RecordListModel(RecordTable& table, QObject* parent = nullptr);
    ~RecordListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Width in pixels the window gives the column.
    int columnWidth(int column) const;
    // The code column, or -1 without one.
    int codeColumn() const { return table_.layout().codeColumn ? 1 : -1; }

private:
    void beforeAppend(uint32_t row) override;
    void afterAppend(uint32_t row) override;
    void beforeReset() override;
    void afterReset() override;
    void codeChanged(uint32_t row) override;

    QString cellText(uint32_t row, int column) const;

    RecordTable& table_;
    GbkDecoder decoder_;
};

}  // namespace gaugemon::records
