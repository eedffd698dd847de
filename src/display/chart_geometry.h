#pragma once
#include <cstdint>

#include "display/chart_area.h"
#include "display/display_range.h"

namespace gaugemon::display {

// Width a column clears and width of its bar, in pixels.
struct ColumnGeometry {
    int32_t colW = 0;
    int32_t barW = 0;
    bool operator==(const ColumnGeometry&) const = default;
};

// Columns share the plot width equally, at most 300 pixels each; the bar takes
// a larger share of a narrower column so that many probes stay visible.
ColumnGeometry columnGeometry(int32_t plotWidth, unsigned probes);

// Left edge of column `index` of `probes`: the plot width split without
// accumulating the rounding of each column.
int32_t columnLeft(const ChartArea& area, unsigned index, unsigned probes);

// Size of the label font of a column: the bar width kept within 10..70.
int32_t labelSize(int32_t barW);

// Counts per pixel and the pixel row of value 0. The display range spans the
// plot less 32 pixels at the top and 31 at the bottom, which hold the labels
// and the value texts of full-length bars.
struct VerticalScale {
    float countsPerPixel = 1.0f;
    int32_t y0 = 0;
};

VerticalScale verticalScale(const ChartArea& area, const DisplayRange& range);

// Pixels that `counts` take on the scale, truncated toward zero and kept
// within a span far beyond any screen.
int32_t pixelsFor(float counts, float countsPerPixel);

}  // namespace gaugemon::display
