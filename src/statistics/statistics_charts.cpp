#include "statistics/statistics_charts.h"

#include <QFont>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "statistics/figure_text.h"

namespace gaugemon::statistics {

namespace {

constexpr double kTenthsPerMm = 10000.0;
constexpr int kLeftMargin = 78;
constexpr int kRightMargin = 44;
constexpr int kTopMargin = 8;
constexpr int kBottomMargin = 22;
constexpr double kAxisMargin = 0.06;
constexpr int kTextPixels = 11;

QRect plotOf(QRect area) { return area.adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin); }

std::optional<double> tenths(const std::optional<double>& millimetres) {
    if (!millimetres) return std::nullopt;
    return *millimetres * kTenthsPerMm;
}

QString lengthLabel(double tenthMicrometres, measure::LengthUnit unit) {
    return QString::fromStdString(lengthText(tenthMicrometres / kTenthsPerMm, unit));
}

void frame(QPainter& p, QRect area, QRect plot) {
    p.fillRect(area, chart_colors::kBackground);
    p.setPen(chart_colors::kFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    QFont font = p.font();
    font.setPixelSize(kTextPixels);
    p.setFont(font);
}

// One horizontal line of the run chart with its name and value.
struct HorizontalMark {
    double length;
    QColor color;
    Qt::PenStyle style;
    QString name;
};

// The limit lines are solid and the natural limits dashed, so the two read
// apart where they come close. Lines are drawn in the order given, the last
// on top; labels in the reverse order, and a label that would overlap one
// already written is left out.
void drawMarks(QPainter& p, const RunChartLayout& layout, const std::vector<HorizontalMark>& marks,
               measure::LengthUnit unit) {
    const QRect& plot = layout.plot;
    for (const HorizontalMark& m : marks) {
        const int y = layout.yOf(m.length);
        if (y < plot.top() || y > plot.bottom()) continue;
        p.setPen(QPen(m.color, 1, m.style));
        p.drawLine(plot.left() + 1, y, plot.right() - 1, y);
    }
    std::vector<int> labelled;
    for (auto m = marks.rbegin(); m != marks.rend(); ++m) {
        const int y = layout.yOf(m->length);
        if (y < plot.top() || y > plot.bottom()) continue;
        if (std::any_of(labelled.begin(), labelled.end(), [y](int other) { return std::abs(other - y) < kTextPixels; }))
            continue;
        labelled.push_back(y);
        p.setPen(m->color);
        p.drawText(QRect(plot.right() + 3, y - kTextPixels, kRightMargin - 3, 2 * kTextPixels),
                   Qt::AlignLeft | Qt::AlignVCenter, m->name);
        p.drawText(QRect(plot.left() - kLeftMargin, y - kTextPixels, kLeftMargin - 4, 2 * kTextPixels),
                   Qt::AlignRight | Qt::AlignVCenter, lengthLabel(m->length, unit));
    }
}

void verticalMark(QPainter& p, const HistogramLayout& layout, double length, const QColor& color, Qt::PenStyle style) {
    const int x = layout.xOf(length);
    const QRect& plot = layout.plot;
    if (x < plot.left() || x > plot.right()) return;
    p.setPen(QPen(color, 1, style));
    p.drawLine(x, plot.top() + 1, x, plot.bottom() - 1);
}

int clampedPixel(double position) { return static_cast<int>(std::lround(std::clamp(position, -1e6, 1e6))); }

}  // namespace

ChartMarks marksOf(const ProbeFigures& f) {
    ChartMarks m;
    if (f.bandValid) {
        m.lsl = f.lsl * kTenthsPerMm;
        m.usl = f.usl * kTenthsPerMm;
    }
    m.mean = tenths(f.mean);
    m.sigma = tenths(f.stdDev);
    m.min = tenths(f.min);
    m.max = tenths(f.max);
    return m;
}

LengthAxis LengthAxis::covering(const ChartMarks& m) {
    double low = INFINITY;
    double high = -INFINITY;
    auto take = [&](const std::optional<double>& v) {
        if (!v || !std::isfinite(*v)) return;
        low = std::min(low, *v);
        high = std::max(high, *v);
    };
    take(m.lsl);
    take(m.usl);
    take(m.min);
    take(m.max);
    if (m.mean && m.sigma) {
        take(*m.mean - 3 * *m.sigma);
        take(*m.mean + 3 * *m.sigma);
    }
    if (!(low <= high)) return {};
    const double margin = std::max((high - low) * kAxisMargin, 1.0);
    return {low - margin, high + margin};
}

int RunChartLayout::yOf(double length) const {
    return plot.bottom() - clampedPixel(axis.fraction(length) * (plot.height() - 1));
}

int HistogramLayout::xOf(double length) const {
    return plot.left() + clampedPixel(axis.fraction(length) * (plot.width() - 1));
}

RunChartLayout RunChartPainter::paint(QPainter& p, QRect area, std::span<const int32_t> values,
                                      const ProbeFigures& figures, measure::LengthUnit unit, core::Language language) {
    const ChartMarks marks = marksOf(figures);
    const RunChartLayout layout{plotOf(area), LengthAxis::covering(marks)};
    frame(p, area, layout.plot);
    if (layout.plot.width() < 2 || layout.plot.height() < 2) return layout;

    decimate(values, layout.plot.width(), spans_);
    lines_.clear();
    bool joined = false;
    QPoint previous;
    for (size_t c = 0; c < spans_.size(); ++c) {
        const ColumnSpan& s = spans_[c];
        if (!s.any) continue;
        const int x = layout.plot.left() + static_cast<int>(c);
        if (joined) lines_.emplace_back(previous, QPoint(x, layout.yOf(s.first)));
        lines_.emplace_back(x, layout.yOf(s.min), x, layout.yOf(s.max));
        previous = QPoint(x, layout.yOf(s.last));
        joined = true;
    }
    p.setClipRect(layout.plot.adjusted(1, 1, -1, -1));
    p.setPen(chart_colors::kReading);
    p.drawLines(lines_.data(), static_cast<int>(lines_.size()));
    p.setClipping(false);

    std::vector<HorizontalMark> lines;
    if (marks.mean && marks.sigma) {
        lines.push_back({*marks.mean - 3 * *marks.sigma, chart_colors::kNatural, Qt::DashLine, QStringLiteral("-3σ")});
        lines.push_back({*marks.mean + 3 * *marks.sigma, chart_colors::kNatural, Qt::DashLine, QStringLiteral("+3σ")});
    }
    if (marks.mean)
        lines.push_back(
            {*marks.mean, chart_colors::kMean, Qt::SolidLine, QString::fromUtf8(core::pick(language, "Mean", "均值"))});
    if (marks.lsl) lines.push_back({*marks.lsl, chart_colors::kLimit, Qt::SolidLine, QStringLiteral("LSL")});
    if (marks.usl) lines.push_back({*marks.usl, chart_colors::kLimit, Qt::SolidLine, QStringLiteral("USL")});
    drawMarks(p, layout, lines, unit);
    return layout;
}

HistogramLayout HistogramPainter::paint(QPainter& p, QRect area, std::span<const int32_t> values,
                                        const ProbeFigures& figures, measure::LengthUnit unit,
                                        core::Language language) {
    const ChartMarks marks = marksOf(figures);
    const HistogramLayout layout{plotOf(area), LengthAxis::covering(marks)};
    frame(p, area, layout.plot);
    const QRect& plot = layout.plot;
    if (plot.width() < 2 || plot.height() < 2) return layout;

    // Bins cover the readings only, so a narrow spread inside wide limits
    // still shows its shape.
    const double binLow = marks.min.value_or(layout.axis.low);
    const double binHigh = std::max(marks.max.value_or(layout.axis.high), binLow) + 1;
    const Histogram h = histogramOf(values, binLow, binHigh, binCountFor(figures.count));
    // The curve of n readings in bins of width w peaks at n w / (sigma sqrt(2 pi)).
    double peak = h.tallest;
    const bool curve = marks.mean && marks.sigma && *marks.sigma > 0;
    const double scale =
        curve ? static_cast<double>(figures.count) * h.binWidth() / (*marks.sigma * std::sqrt(2 * std::numbers::pi))
              : 0;
    peak = std::max(peak, scale);
    if (peak <= 0) peak = 1;
    const double pixelsPerCount = (plot.height() - 2) / (peak * 1.08);

    for (size_t b = 0; b < h.bins.size(); ++b) {
        if (h.bins[b] == 0) continue;
        const int x0 = layout.xOf(h.low + static_cast<double>(b) * h.binWidth());
        const int x1 = layout.xOf(h.low + static_cast<double>(b + 1) * h.binWidth());
        const int height = clampedPixel(h.bins[b] * pixelsPerCount);
        p.fillRect(QRect(x0, plot.bottom() - height, std::max(x1 - x0 - 1, 1), height), chart_colors::kBin);
    }
    if (curve) {
        curve_.clear();
        for (int x = plot.left(); x <= plot.right(); ++x) {
            const double length = layout.axis.low + (x - plot.left()) * (layout.axis.high - layout.axis.low) /
                                                        std::max(plot.width() - 1, 1);
            const double z = (length - *marks.mean) / *marks.sigma;
            curve_.emplace_back(x, plot.bottom() - scale * std::exp(-0.5 * z * z) * pixelsPerCount);
        }
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(chart_colors::kCurve, 1.5));
        p.drawPolyline(curve_.data(), static_cast<int>(curve_.size()));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    if (marks.mean) verticalMark(p, layout, *marks.mean, chart_colors::kMean, Qt::SolidLine);
    if (marks.lsl) verticalMark(p, layout, *marks.lsl, chart_colors::kLimit, Qt::SolidLine);
    if (marks.usl) verticalMark(p, layout, *marks.usl, chart_colors::kLimit, Qt::SolidLine);

    p.setPen(chart_colors::kText);
    const QRect below(plot.left(), plot.bottom() + 2, plot.width(), kBottomMargin - 2);
    p.drawText(below, Qt::AlignLeft | Qt::AlignTop, lengthLabel(layout.axis.low, unit));
    p.drawText(below, Qt::AlignRight | Qt::AlignTop, lengthLabel(layout.axis.high, unit));
    p.drawText(below, Qt::AlignHCenter | Qt::AlignTop,
               QString::fromUtf8(core::pick(language, "red: LSL/USL, green: mean", "红: 公差限, 绿: 均值")));
    return layout;
}

}  // namespace gaugemon::statistics
