#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "core/language.h"
#include "measure/length_unit.h"
#include "records/record_table.h"
#include "statistics/figure_text.h"
#include "statistics/process_statistics.h"

namespace gaugemon::app {

// The statistics table as its view shows it: one row per probe and per
// characteristic, the cells'
// texts and colours kept. update() works every cell out from the statistics
// and tells the view only of the cells whose text or colour changed, so a
// table refreshed several times a second repaints what changed and lays out
// nothing.
class StatisticsTableModel : public QAbstractTableModel {
public:
    static constexpr int kColumnCount = static_cast<int>(statistics::kColumns.size());
    using Columns = std::bitset<statistics::kColumns.size()>;

    StatisticsTableModel(core::Language language, QObject* parent);

    // Returns the columns whose title or longest text changed in length:
    // those the view fits again.
    Columns update(const statistics::ProcessStatistics& figures, const records::RecordTable& rows,
                   measure::LengthUnit unit, bool warningsShown);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Probes with NG readings are drawn in one colour, a Cpk below 1.33 and
    // a newest reading in the warning strip in their own over it.
    enum class Shade : uint8_t { None, Ng, Incapable, Warning };
    struct Cell {
        QString text;
        Shade shade = Shade::None;
        bool operator==(const Cell&) const = default;
    };
    using Row = std::array<Cell, kColumnCount>;

    Row rowOf(const statistics::ProbeFigures& figures, const records::TableLayout& layout, unsigned value,
              measure::LengthUnit unit, bool warningsShown) const;
    Columns retitle(measure::LengthUnit unit);
    void tellChanged(const std::vector<QModelIndex>& changed);
    Columns longestChanged();

    core::Language language_;
    std::vector<Row> rows_;
    std::array<QString, kColumnCount> titles_;
    std::array<qsizetype, kColumnCount> longest_{};
    std::vector<QModelIndex> changed_;  // kept between updates for its capacity
};

}  // namespace gaugemon::app
