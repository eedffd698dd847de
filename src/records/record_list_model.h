#pragma once
#include <QAbstractTableModel>
#include <QTimer>
#include <chrono>
#include <functional>

#include "records/gbk.h"
#include "records/record_table.h"

namespace gaugemon::records {

// The record list on screen: a view on the RecordTable, never a copy. Cells
// are made when the view asks for them, so only the visible rows cost
// anything. With no batch delay a new row is announced at once as one
// inserted row; with one, the rows that arrive within the delay are announced
// together when it ends, so that the list lays itself out a few times a
// second however fast rows are recorded.
class RecordListModel : public QAbstractTableModel, private RecordTableObserver {
    Q_OBJECT
public:
    // Short enough that a row is on screen within a fifth of a second.
    static constexpr std::chrono::milliseconds kListBatchDelay{150};

    explicit RecordListModel(RecordTable& table, QObject* parent = nullptr,
                             std::chrono::milliseconds batchDelay = std::chrono::milliseconds{0});
    ~RecordListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Width in pixels the window gives the column.
    int columnWidth(int column) const;
    // The code column, or -1 without one.
    int codeColumn() const { return table_.layout().codeColumn ? 1 : -1; }
    // Batches end when the owner says so rather than by the model's own
    // timer: `startBatch` runs at the first row of each batch, and the owner
    // calls announcePendingRows when the batch delay has passed.
    void useBatchTimer(std::function<void()> startBatch);
    // Announces the rows waiting for the end of the batch delay now.
    void announcePendingRows();
    bool rowsPending() const { return announced_ < table_.rowCount(); }

private:
    void beforeAppend(uint32_t row) override;
    void afterAppend(uint32_t row) override;
    void beforeReset() override;
    void afterReset() override;
    void codeChanged(uint32_t row) override;

    QString cellText(uint32_t row, int column) const;
    bool batching() const { return startBatch_ || batchTimer_.interval() > 0; }
    void openBatch();

    RecordTable& table_;
    GbkDecoder decoder_;
    QTimer batchTimer_;  // single shot; idle without a batch delay
    std::function<void()> startBatch_;
    bool batchOpen_ = false;  // rows wait for the end of a batch already started
    uint32_t announced_ = 0;  // rows the views know of: the first ones of the table
};

}  // namespace gaugemon::records
