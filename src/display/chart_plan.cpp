#include "display/chart_plan.h"

#include <algorithm>

namespace gaugemon::display {

namespace {

// A reading in the length of the display range and the limits (0.001 mm):
// fine-resolution counts are tenths of that.
float lengthInCounts(const measure::Length& reading) {
    return reading.fine() ? static_cast<float>(reading.counts) / 10.0f : static_cast<float>(reading.counts);
}

// The probe number stands just under the zero line, or well above it when
// the bar grows downwards.
constexpr int32_t kNumberBelowZero = 2;
constexpr int32_t kNumberAboveZero = 36;

bool insidePlot(const ChartArea& area, int32_t y) { return area.top < y && y < area.bottom; }

}  // namespace

BarExtent barExtent(const measure::Length& reading, const DisplayRange& range, const VerticalScale& scale) {
    const float length = lengthInCounts(reading);
    if (reading.counts >= 0) {
        const float shown = std::min(length, static_cast<float>(range.high));
        return {scale.y0 - pixelsFor(shown, scale.countsPerPixel), scale.y0};
    }
    const float shown = std::max(length, static_cast<float>(range.low));
    return {scale.y0, scale.y0 + pixelsFor(-shown, scale.countsPerPixel)};
}

namespace {

// Lays out column `index` with limit marks at `lowerCounts` and `upperCounts`
// (0.001 mm); `up` puts the label under the zero line and the text over the bar.
ColumnPlan& layColumn(ChartPlan& plan, unsigned index, const ChartArea& area, bool up, const BarExtent& extent,
                      int32_t lowerCounts, int32_t upperCounts, tolerance::Judgement judgement) {
    ColumnPlan& c = plan.columns[index];
    const int32_t xL = columnLeft(area, index, plan.columnCount());
    const int32_t barRight = xL + plan.geometry.barW;
    const int32_t colRight = xL + plan.geometry.colW;

    c.bar = {xL, extent.top, barRight, extent.bottom};
    c.judgement = judgement;
    c.warning = false;
    c.outlined = false;
    c.clearAbove = {xL, area.top, colRight, extent.top};
    c.clearBelow = {xL, extent.bottom, colRight, area.bottom};

    const float perPixel = plan.scale.countsPerPixel;
    const int32_t yLower = plan.scale.y0 - pixelsFor(static_cast<float>(lowerCounts), perPixel);
    const int32_t yUpper = plan.scale.y0 - pixelsFor(static_cast<float>(upperCounts), perPixel);
    c.markLower = insidePlot(area, yLower);
    c.markUpper = insidePlot(area, yUpper);
    c.lowerMark = horizontalLine(xL, barRight, yLower);
    c.upperMark = horizontalLine(xL, barRight, yUpper);

    const int32_t cb = plan.labelSize;
    c.numberX = xL + cb / 3;
    c.numberY = up ? plan.scale.y0 + kNumberBelowZero : plan.scale.y0 - kNumberAboveZero;
    c.textX = xL;
    c.textY = up ? extent.top - cb / 2 : extent.bottom;
    return c;
}

}  // namespace

void planColumn(ChartPlan& plan, unsigned index, const ChartArea& area, const measure::Length& reading,
                const BarExtent& extent, const tolerance::ToleranceTable& tolerances, tolerance::Judgement judgement) {
    const unsigned probe = index + 1;
    const tolerance::ProbeLimits& limits = tolerances.limits(probe);
    ColumnPlan& c =
        layColumn(plan, index, area, reading.counts >= 0, extent, limits.lslCounts, limits.uslCounts, judgement);
    c.number = {probe < 10 ? ' ' : static_cast<char>('0' + probe / 10), static_cast<char>('0' + probe % 10), ' '};
    c.numberLength = 2;
}

void planCharacteristicColumn(ChartPlan& plan, unsigned index, const ChartArea& area,
                              const std::optional<measure::Length>& value, const DisplayRange& range,
                              int32_t lowerCounts, int32_t upperCounts, tolerance::Zone zone) {
    const BarExtent extent = value ? barExtent(*value, range, plan.scale) : BarExtent{plan.scale.y0, plan.scale.y0};
    const tolerance::Judgement judgement =
        zone == tolerance::Zone::Ng ? tolerance::Judgement::Ng : tolerance::Judgement::Ok;
    ColumnPlan& c =
        layColumn(plan, index, area, !value || value->counts >= 0, extent, lowerCounts, upperCounts, judgement);
    c.warning = zone == tolerance::Zone::Warning;
    c.outlined = true;
    const unsigned k = index - plan.probes + 1;
    if (k < 10) {
        c.number = {'C', static_cast<char>('0' + k), ' '};
        c.numberLength = 2;
    } else {
        c.number = {'C', static_cast<char>('0' + k / 10), static_cast<char>('0' + k % 10)};
        c.numberLength = 3;
    }
}

void planColumn(ChartPlan& plan, unsigned index, const ChartArea& area, const measure::Length& reading,
                const BarExtent& extent, const tolerance::ToleranceTable& tolerances, tolerance::Zone zone) {
    const tolerance::Judgement judgement =
        zone == tolerance::Zone::Ng ? tolerance::Judgement::Ng : tolerance::Judgement::Ok;
    planColumn(plan, index, area, reading, extent, tolerances, judgement);
    plan.columns[index].warning = zone == tolerance::Zone::Warning;
}

void planFrame(ChartPlan& plan, const ChartArea& area, const DisplayRange& range, bool logoShown, bool anyNg) {
    plan.verdict.draw = !logoShown && plan.columnCount() > 0;
    plan.verdict.ng = anyNg;
    const int32_t y0 = plan.scale.y0;
    const float perPixel = plan.scale.countsPerPixel;
    plan.axes.zeroLine = horizontalLine(area.left, area.right - 2, y0);
    plan.axes.leftAxis = verticalLine(area.left, area.top, area.bottom);
    plan.axes.highLine =
        horizontalLine(area.left, area.right, y0 - pixelsFor(static_cast<float>(range.high), perPixel));
    plan.axes.lowLine = horizontalLine(area.left, area.right, y0 - pixelsFor(static_cast<float>(range.low), perPixel));
}

}  // namespace gaugemon::display
