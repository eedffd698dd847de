#include "display/chart_geometry.h"

#include <algorithm>
#include <cmath>

namespace gaugemon::display {

namespace {

constexpr int32_t kWidestColumn = 300;
constexpr int32_t kWidestBar = 200;
constexpr int32_t kSmallestLabel = 10;
constexpr int32_t kLargestLabel = 70;
// Rows of the plot kept free above the high limit and below the low limit.
constexpr int32_t kTopMargin = 32;
constexpr int32_t kBottomMargin = 31;
constexpr float kPixelLimit = 1.0e6f;

}  // namespace

ColumnGeometry columnGeometry(int32_t plotWidth, unsigned probes) {
    if (probes == 0) return {kWidestColumn, kWidestBar};
    const int32_t colW = std::max(plotWidth, 0) / static_cast<int32_t>(probes);
    if (colW > kWidestColumn) return {kWidestColumn, kWidestBar};
    if (colW > 80) return {colW, 2 * colW / 3};
    if (colW > 60) return {colW, 4 * colW / 5};
    if (colW > 50) return {colW, 8 * colW / 9};
    return {colW, 32 * colW / 33};
}

int32_t columnLeft(const ChartArea& area, unsigned index, unsigned probes) {
    if (probes == 0) return area.left;
    const int64_t width = std::max(area.right - area.left, 0);
    return area.left + static_cast<int32_t>(width * index / probes);
}

int32_t labelSize(int32_t barW) { return std::clamp(barW, kSmallestLabel, kLargestLabel); }

VerticalScale verticalScale(const ChartArea& area, const DisplayRange& range) {
    // A flat plot or an empty range would leave the scale undefined; one pixel
    // and one count keep it finite.
    const int64_t height = std::max<int64_t>(int64_t{area.bottom} - area.top - kTopMargin - kBottomMargin, 1);
    const int64_t span = std::max<int64_t>(int64_t{range.high} - range.low, 1);
    VerticalScale s;
    s.countsPerPixel = static_cast<float>(static_cast<double>(span) / static_cast<double>(height));
    s.y0 = area.bottom - kBottomMargin - pixelsFor(-static_cast<float>(range.low), s.countsPerPixel);
    return s;
}

int32_t pixelsFor(float counts, float countsPerPixel) {
    const float pixels = std::clamp(counts / countsPerPixel, -kPixelLimit, kPixelLimit);
    return static_cast<int32_t>(pixels);
}

}  // namespace gaugemon::display
