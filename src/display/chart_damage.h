#pragma once
#include <QRect>
#include <QRegion>
#include <vector>

#include "display/chart_painter.h"
#include "display/chart_plan.h"
#include "display/value_text.h"

namespace gaugemon::display {

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

// The union of `parts` as a region of rectangles that do not overlap. Unites
// pairwise, halving their number each round: adding them one by one to a
// growing region costs a merge of all its bands for every part. `scratch`
// keeps its room between calls.
QRegion uniteAll(const std::vector<QRect>& parts, std::vector<QRegion>& scratch);

}  // namespace gaugemon::display
