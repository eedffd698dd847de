#pragma once
#include <QColor>
#include <QLine>
#include <QPainter>
#include <QRect>
#include <optional>
#include <span>
#include <vector>

#include "core/language.h"
#include "measure/length_unit.h"
#include "statistics/probe_series.h"
#include "statistics/process_statistics.h"

namespace gaugemon::statistics {

namespace chart_colors {
inline const QColor kBackground{255, 255, 255};
inline const QColor kFrame{160, 160, 160};
inline const QColor kLimit{220, 0, 0};  // LSL and USL
inline const QColor kMean{0, 150, 0};
inline const QColor kNatural{0, 90, 220};  // mean +- 3 sigma
inline const QColor kReading{40, 40, 40};
inline const QColor kBin{170, 190, 215};
inline const QColor kCurve{0, 0, 140};
inline const QColor kText{0, 0, 0};
}  // namespace chart_colors

// The lengths the charts mark, in 0.0001 mm.
struct ChartMarks {
    std::optional<double> lsl;
    std::optional<double> usl;
    std::optional<double> mean;
    std::optional<double> sigma;  // overall
    std::optional<double> min;
    std::optional<double> max;
};
ChartMarks marksOf(const ProbeFigures& figures);

// Lengths from `low` to `high` over a plot, vertical (run chart) or
// horizontal (histogram); at least one count apart, so no division by zero.
struct LengthAxis {
    double low = 0;
    double high = 1;
    // Every mark and the readings, with a margin.
    static LengthAxis covering(const ChartMarks& marks);
    double fraction(double length) const { return (length - low) / (high - low); }
};

struct RunChartLayout {
    QRect plot;
    LengthAxis axis;
    int yOf(double length) const;
};

struct HistogramLayout {
    QRect plot;
    LengthAxis axis;
    int xOf(double length) const;
};

// The run chart of one probe: its readings over the rows (decimated to one
// min/max span per pixel column), the limits, the mean and the natural
// process limits (mean +- 3 sigma), with their values in the unit.
class RunChartPainter {
public:
    RunChartLayout paint(QPainter& painter, QRect area, std::span<const int32_t> values, const ProbeFigures& figures,
                         measure::LengthUnit unit, core::Language language);

private:
    std::vector<ColumnSpan> spans_;
    std::vector<QLine> lines_;
};

// The histogram of one probe's readings with the limits, the mean and the
// normal curve of the mean and the overall sigma.
class HistogramPainter {
public:
    HistogramLayout paint(QPainter& painter, QRect area, std::span<const int32_t> values, const ProbeFigures& figures,
                          measure::LengthUnit unit, core::Language language);

private:
    std::vector<QPointF> curve_;
};

}  // namespace gaugemon::statistics
