#include "display/chart_damage.h"

#include <algorithm>

namespace gaugemon::display {

namespace {

QRect qrect(const PixelRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

void add(std::vector<QRect>& out, const PixelRect& r) {
    if (!r.empty()) out.push_back(qrect(r));
}

// One filled rectangle as it was and as it is. Of the same colour and the
// same columns only the rows that one covers and the other does not change:
// a bar that grows by three pixels changes three lines, not the whole bar.
void addFillChange(std::vector<QRect>& out, const PixelRect& was, const PixelRect& is, bool sameColour) {
    if (sameColour && was == is) return;
    const bool sameColumns = was.left == is.left && was.right == is.right;
    const bool overlapping = was.top < is.bottom && is.top < was.bottom;
    if (!sameColour || !sameColumns || was.empty() || is.empty() || !overlapping) {
        add(out, was);
        add(out, is);
        return;
    }
    add(out, {is.left, std::min(was.top, is.top), is.right, std::max(was.top, is.top)});
    add(out, {is.left, std::min(was.bottom, is.bottom), is.right, std::max(was.bottom, is.bottom)});
}

void addMarkChange(std::vector<QRect>& out, bool wasShown, const PixelRect& was, bool isShown, const PixelRect& is) {
    if (wasShown == isShown && (!isShown || was == is)) return;
    if (wasShown) add(out, was);
    if (isShown) add(out, is);
}

void addTextChange(std::vector<QRect>& out, const ChartFace& face, int32_t wasX, int32_t wasY, std::string_view wasText,
                   int32_t isX, int32_t isY, std::string_view isText) {
    if (wasX == isX && wasY == isY && wasText == isText) return;
    add(out, face.inkBounds(wasX, wasY, wasText));
    add(out, face.inkBounds(isX, isY, isText));
}

void addColumnChanges(std::vector<QRect>& out, const ColumnPlan& was, const ValueText& wasText, const ColumnPlan& is,
                      const ValueText& isText, const ChartFace& label) {
    addFillChange(out, was.bar, is.bar, barColor(was) == barColor(is));
    addFillChange(out, was.clearAbove, is.clearAbove, true);
    addFillChange(out, was.clearBelow, is.clearBelow, true);
    addMarkChange(out, was.markLower, was.lowerMark, is.markLower, is.lowerMark);
    addMarkChange(out, was.markUpper, was.upperMark, is.markUpper, is.upperMark);
    const std::string_view wasNumber(was.number.data(), was.number.size());
    const std::string_view isNumber(is.number.data(), is.number.size());
    addTextChange(out, label, was.numberX, was.numberY, wasNumber, is.numberX, is.numberY, isNumber);
    addTextChange(out, label, was.textX, was.textY, wasText.text(), is.textX, is.textY, isText.text());
}

std::string_view verdictText(const VerdictPlan& v) { return v.ng ? "NG" : "OK"; }

void addVerdictChange(std::vector<QRect>& out, const VerdictPlan& was, const VerdictPlan& is, const ChartFace& face) {
    if (was.draw == is.draw &&
        (!is.draw || (was.ng == is.ng && was.box == is.box && was.textX == is.textX && was.textY == is.textY)))
        return;
    for (const VerdictPlan* v : {&was, &is}) {
        if (!v->draw) continue;
        add(out, v->box);
        add(out, face.inkBounds(v->textX, v->textY, verdictText(*v)));
    }
}

}  // namespace

bool sameLayout(const ChartPlan& a, const ChartPlan& b) {
    return a.probes == b.probes && a.geometry == b.geometry && a.labelSize == b.labelSize && a.scale.y0 == b.scale.y0 &&
           a.scale.countsPerPixel == b.scale.countsPerPixel;
}

void collectChartChanges(const ChartPlan& before, const ValueTextTable& beforeTexts, const ChartPlan& after,
                         const ValueTextTable& afterTexts, const ChartFace& label, const ChartFace& verdictFace,
                         std::vector<QRect>& out) {
    for (unsigned i = 0; i < after.probes && i < link::kMaxProbes; ++i) {
        const size_t first = out.size();
        addColumnChanges(out, before.columns[i], beforeTexts[i], after.columns[i], afterTexts[i], label);
        // A column's changes lie close together (the end of its bar and the
        // text on it): one rectangle round them keeps the region of a
        // moving chart to a few dozen rectangles.
        if (out.size() - first < 2) continue;
        QRect bounds;
        for (size_t k = first; k < out.size(); ++k) bounds |= out[k];
        out.resize(first);
        out.push_back(bounds);
    }
    addVerdictChange(out, before.verdict, after.verdict, verdictFace);
    const bool axesShown = before.probes > 0;
    const AxesPlan& a = before.axes;
    const AxesPlan& b = after.axes;
    addMarkChange(out, axesShown, a.zeroLine, axesShown, b.zeroLine);
    addMarkChange(out, axesShown, a.leftAxis, axesShown, b.leftAxis);
    addMarkChange(out, axesShown, a.highLine, axesShown, b.highLine);
    addMarkChange(out, axesShown, a.lowLine, axesShown, b.lowLine);
}

QRegion uniteAll(const std::vector<QRect>& parts, std::vector<QRegion>& scratch) {
    if (parts.empty()) return {};
    scratch.assign(parts.begin(), parts.end());
    for (size_t step = 1; step < scratch.size(); step *= 2) {
        for (size_t i = 0; i + step < scratch.size(); i += 2 * step) scratch[i] = scratch[i].united(scratch[i + step]);
    }
    return scratch[0];
}

}  // namespace gaugemon::display
