#include "display/chart_damage.h"

#include <algorithm>
#include <climits>

namespace gaugemon::display {

namespace {

constexpr int kBandPx = 16;

void add(std::vector<QRect>& out, const PixelRect& r) {
    if (!r.empty()) out.push_back(toQRect(r));
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
    // An outline moves with the bar's ends: an outlined bar that changed changes whole.
    const bool outlineSame = was.outlined == is.outlined && (!is.outlined || was.bar == is.bar);
    addFillChange(out, was.bar, is.bar, barColor(was) == barColor(is) && outlineSame);
    addFillChange(out, was.clearAbove, is.clearAbove, true);
    addFillChange(out, was.clearBelow, is.clearBelow, true);
    addMarkChange(out, was.markLower, was.lowerMark, is.markLower, is.lowerMark);
    addMarkChange(out, was.markUpper, was.upperMark, is.markUpper, is.upperMark);
    addTextChange(out, label, was.numberX, was.numberY, numberText(was), is.numberX, is.numberY, numberText(is));
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
    return a.probes == b.probes && a.characteristics == b.characteristics && a.geometry == b.geometry &&
           a.labelSize == b.labelSize && a.scale.y0 == b.scale.y0 && a.scale.countsPerPixel == b.scale.countsPerPixel;
}

void collectChartChanges(const ChartPlan& before, const ValueTextTable& beforeTexts, const ChartPlan& after,
                         const ValueTextTable& afterTexts, const ChartFace& label, const ChartFace& verdictFace,
                         std::vector<QRect>& out) {
    for (unsigned i = 0; i < after.columnCount() && i < measure::kMaxValues; ++i) {
        const size_t first = out.size();
        addColumnChanges(out, before.columns[i], columnText(before, beforeTexts, i), after.columns[i],
                         columnText(after, afterTexts, i), label);
        // A column's changes lie close together (the end of its bar and the
        // text on it): one rectangle round them.
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

void toBands(const std::vector<QRect>& parts, std::vector<QRect>& bands, std::vector<std::pair<int, int>>& spans) {
    bands.clear();
    if (parts.empty()) return;
    auto floorToBand = [](int y) { return y - ((y % kBandPx) + kBandPx) % kBandPx; };
    int top = INT_MAX;
    int bottom = INT_MIN;
    for (const QRect& r : parts) {
        top = std::min(top, floorToBand(r.top()));
        bottom = std::max(bottom, r.bottom() + 1);
    }
    size_t previous = 0;  // where the rectangles of the band above begin
    for (int y = top; y < bottom; y += kBandPx) {
        spans.clear();
        for (const QRect& r : parts) {
            if (r.top() < y + kBandPx && r.bottom() >= y) spans.emplace_back(r.left(), r.right() + 1);
        }
        std::sort(spans.begin(), spans.end());
        // Overlapping and touching spans make one.
        size_t merged = 0;
        for (const auto& span : spans) {
            if (merged > 0 && span.first <= spans[merged - 1].second) {
                spans[merged - 1].second = std::max(spans[merged - 1].second, span.second);
            } else {
                spans[merged++] = span;
            }
        }
        spans.resize(merged);
        // A band like the one above lengthens its rectangles.
        const size_t above = bands.size() - previous;
        bool same = above == merged && above > 0 && bands[previous].bottom() + 1 == y;
        for (size_t k = 0; same && k < merged; ++k) {
            same = bands[previous + k].left() == spans[k].first && bands[previous + k].right() + 1 == spans[k].second;
        }
        if (same) {
            for (size_t k = previous; k < bands.size(); ++k) bands[k].setBottom(bands[k].bottom() + kBandPx);
            continue;
        }
        previous = bands.size();
        for (const auto& [left, right] : spans) bands.emplace_back(left, y, right - left, kBandPx);
    }
}

}  // namespace gaugemon::display
