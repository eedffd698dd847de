#include "app/statistics_table_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace gaugemon::app {

namespace {

using statistics::Column;

const QColor kNgRow{255, 210, 210};
const QColor kIncapable{255, 190, 120};
const QColor kWarningProbe{255, 235, 0};

// Up to this many changed cells are repainted each on its own; more are one
// repaint of the table, which costs less than as many small ones.
constexpr size_t kSeparateCells = 32;

}  // namespace

StatisticsTableModel::StatisticsTableModel(core::Language language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {}

StatisticsTableModel::Columns StatisticsTableModel::update(const statistics::ProcessStatistics& figures,
                                                           const records::RecordTable& rows, measure::LengthUnit unit,
                                                           bool warningsShown) {
    const Columns retitled = retitle(unit);
    const unsigned values = figures.valueCount();
    if (values != rows_.size()) {
        beginResetModel();
        rows_.resize(values);
        for (unsigned value = 1; value <= values; ++value)
            rows_[value - 1] = rowOf(figures.figures(rows, value), rows.layout(), value, unit, warningsShown);
        endResetModel();
        longestChanged();
        return Columns().set();
    }
    changed_.clear();
    for (unsigned value = 1; value <= values; ++value) {
        Row fresh = rowOf(figures.figures(rows, value), rows.layout(), value, unit, warningsShown);
        Row& shown = rows_[value - 1];
        for (int c = 0; c < kColumnCount; ++c) {
            const auto column = static_cast<size_t>(c);
            if (fresh[column] == shown[column]) continue;
            shown[column] = std::move(fresh[column]);
            changed_.push_back(index(static_cast<int>(value) - 1, c));
        }
    }
    tellChanged(changed_);
    return retitled | longestChanged();
}

StatisticsTableModel::Row StatisticsTableModel::rowOf(const statistics::ProbeFigures& f,
                                                      const records::TableLayout& layout, unsigned value,
                                                      measure::LengthUnit unit, bool warningsShown) const {
    const bool ng = f.ngCount > 0;
    const bool incapable = f.cpk && *f.cpk < statistics::kCapableCpk;
    const bool warning = warningsShown && f.latestZone == tolerance::Zone::Warning;
    Row row;
    for (size_t c = 0; c < statistics::kColumns.size(); ++c) {
        const Column column = statistics::kColumns[c];
        Cell& cell = row[c];
        cell.text = QString::fromStdString(figureText(f, layout, value, column, language_, unit));
        if (ng) cell.shade = Shade::Ng;
        if (incapable && column == Column::Cpk) cell.shade = Shade::Incapable;
        if (warning && column == Column::Probe) cell.shade = Shade::Warning;
    }
    return row;
}

StatisticsTableModel::Columns StatisticsTableModel::retitle(measure::LengthUnit unit) {
    Columns changed;
    for (size_t c = 0; c < statistics::kColumns.size(); ++c) {
        QString title = QString::fromStdString(columnTitle(statistics::kColumns[c], language_, unit));
        if (title == titles_[c]) continue;
        titles_[c] = std::move(title);
        changed.set(c);
    }
    if (changed.any()) emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    return changed;
}

void StatisticsTableModel::tellChanged(const std::vector<QModelIndex>& changed) {
    const QList<int> roles{Qt::DisplayRole, Qt::BackgroundRole};
    if (changed.size() <= kSeparateCells) {
        for (const QModelIndex& cell : changed) emit dataChanged(cell, cell, roles);
        return;
    }
    emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1), roles);
}

StatisticsTableModel::Columns StatisticsTableModel::longestChanged() {
    Columns changed;
    for (size_t c = 0; c < longest_.size(); ++c) {
        qsizetype longest = 0;
        for (const Row& row : rows_) longest = std::max(longest, row[c].text.size());
        if (longest == longest_[c]) continue;
        longest_[c] = longest;
        changed.set(c);
    }
    return changed;
}

int StatisticsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StatisticsTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant StatisticsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) return {};
    const Cell& cell = rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole: return cell.text;
        case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        case Qt::BackgroundRole:
            switch (cell.shade) {
                case Shade::None: return {};
                case Shade::Ng: return QBrush(kNgRow);
                case Shade::Incapable: return QBrush(kIncapable);
                case Shade::Warning: return QBrush(kWarningProbe);
            }
            return {};
        default: return {};
    }
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumnCount)
        return titles_[static_cast<size_t>(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace gaugemon::app
