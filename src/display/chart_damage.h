#pragma once
#include <QRect>
#include <QRegion>
#include <utility>
#include <vector>

#include "display/chart_painter.h"
#include "display/chart_plan.h"
#include "display/value_text.h"

namespace gaugemon::display {

// The same rectangle for Qt (whose right and bottom edges are inside it).
inline QRect toQRect(const PixelRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// Whether two plans lay out the chart alike (columns, scale, label size), so
// that one can be painted over the other in parts.
bool sameLayout(const ChartPlan& a, const ChartPlan& b);

// Adds to `out` rectangles that hold every pixel where painting `after` over
// an image that shows `before` (of the same layout) can change: the rows a
// bar's end moved through, a bar that changed colour, marks, texts and the
// verdict where they were and where they go; one rectangle a column.
void collectChartChanges(const ChartPlan& before, const ValueTextTable& beforeTexts, const ChartPlan& after,
                         const ValueTextTable& afterTexts, const ChartFace& label, const ChartFace& verdictFace,
                         std::vector<QRect>& out);

// The union of `parts` on a grid of bands 16 lines high: every band holds
// the columns any part reaches in it, neighbouring and overlapping ones
// joined, and a band like the one above it lengthens that one's rectangles.
// The result is sorted by band, then from left to right, and no two
// rectangles overlap or touch side by side, as a region keeps them. A region
// made of the parts themselves would cut sixty columns ending at sixty
// different lines into thousands of rectangles, and each costs its own copy
// to the screen. `spans` is room for the work, kept between calls.
void toBands(const std::vector<QRect>& parts, std::vector<QRect>& bands, std::vector<std::pair<int, int>>& spans);

}  // namespace gaugemon::display
