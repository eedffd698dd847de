#include "records/record_list_model.h"

#include <cstring>

#include "records/record_texts.h"

namespace gaugemon::records {

namespace {
QString asciiField(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(::strnlen(bytes.data(), bytes.size())));
}
}  // namespace

RecordListModel::RecordListModel(RecordTable& table, QObject* parent, std::chrono::milliseconds batchDelay)
    : QAbstractTableModel(parent), table_(table), announced_(table.rowCount()) {
    batchTimer_.setSingleShot(true);
    batchTimer_.setInterval(batchDelay);
    connect(&batchTimer_, &QTimer::timeout, this, &RecordListModel::announcePendingRows);
    table_.setObserver(this);
}

RecordListModel::~RecordListModel() { table_.setObserver(nullptr); }

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(announced_);
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : records::columnCount(table_.layout());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<uint32_t>(index.row()) >= announced_ || index.column() < 0 ||
        index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole) return {};
    return cellText(static_cast<uint32_t>(index.row()), index.column());
}

QString RecordListModel::cellText(uint32_t r, int column) const {
    const RowView row = table_.row(r);
    const Column c = columnAt(table_.layout(), column);
    switch (c.kind) {
        case ColumnKind::Number: {
            const auto number = rowNumberText(r);
            return QString::fromLatin1(number.data(), static_cast<qsizetype>(number.size()));
        }
        case ColumnKind::Code: return QString::fromStdString(decoder_.decode(row.code()));
        case ColumnKind::Value: {
            // Only a probe without a number has a text of zero bytes.
            char text[kValueTextBytes];
            row.putValueText(c.probe, text);
            if (!row.number(c.probe).present) return asciiField({text, kValueTextBytes});
            return QString::fromLatin1(text, kValueTextBytes);
        }
        case ColumnKind::Characteristic: {
            const display::ValueText text = row.characteristicText(c.probe);
            return QString::fromLatin1(text.slot.data(), kValueTextBytes);
        }
        case ColumnKind::Result: {
            const std::string_view result = row.resultCell();
            if (result == gbk::kOk) return QStringLiteral("合格");
            if (result == gbk::kNg) return QStringLiteral("超差");
            return asciiField(result);
        }
        case ColumnKind::Time: {
            const TimeStamp stamp = row.timeStamp();
            return asciiField({stamp.data(), stamp.size()});
        }
    }
    return {};
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole) return {};
    return QString::fromStdString(columnTitle(table_.layout(), section));
}

int RecordListModel::columnWidth(int column) const {
    if (column < 0 || column >= columnCount()) return 0;
    return columnAt(table_.layout(), column).widthPx;
}

void RecordListModel::useBatchTimer(std::function<void()> startBatch) {
    announcePendingRows();
    batchTimer_.stop();
    startBatch_ = std::move(startBatch);
}

void RecordListModel::openBatch() {
    if (batchOpen_) return;
    batchOpen_ = true;
    if (startBatch_)
        startBatch_();
    else
        batchTimer_.start();
}

void RecordListModel::beforeAppend(uint32_t row) {
    if (batching()) return;
    beginInsertRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
}

void RecordListModel::afterAppend(uint32_t) {
    if (batching()) return openBatch();
    announced_ = table_.rowCount();
    endInsertRows();
}

void RecordListModel::announcePendingRows() {
    batchTimer_.stop();
    batchOpen_ = false;
    const uint32_t held = table_.rowCount();
    if (announced_ >= held) return;
    beginInsertRows(QModelIndex(), static_cast<int>(announced_), static_cast<int>(held - 1));
    announced_ = held;
    endInsertRows();
}

void RecordListModel::beforeReset() {
    // Rows still waiting go with the reset: the views learn the new table whole.
    batchTimer_.stop();
    batchOpen_ = false;
    beginResetModel();
}

void RecordListModel::afterReset() {
    announced_ = table_.rowCount();
    endResetModel();
}

void RecordListModel::codeChanged(uint32_t row) {
    const int column = codeColumn();
    // A row still waiting shows its new code when it is announced.
    if (column < 0 || row >= announced_) return;
    const QModelIndex cell = index(static_cast<int>(row), column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

}  // namespace gaugemon::records
