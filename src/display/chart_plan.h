#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "display/chart_area.h"
#include "display/chart_colors.h"
#include "display/chart_geometry.h"
#include "display/display_range.h"
#include "display/value_text.h"
#include "measure/counts.h"
#include "measure/length.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::display {

// A filled rectangle in client pixels; right and bottom edges are not part of
// it, so right <= left or bottom <= top fills nothing.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const PixelRect&) const = default;
};

// One-pixel lines are drawn as rectangles one pixel thick, each ending one
// pixel before its end point.
constexpr PixelRect horizontalLine(int32_t x0, int32_t x1, int32_t y) { return {x0, y, x1, y + 1}; }
constexpr PixelRect verticalLine(int32_t x, int32_t y0, int32_t y1) { return {x, y0, x + 1, y1}; }

// Everything one column draws, in drawing order.
struct ColumnPlan {
    PixelRect bar;
    tolerance::Judgement judgement = tolerance::Judgement::Ok;
    // OK but in the warning strip of the band; only while pre-warning is on.
    bool warning = false;
    // A characteristic's bar is outlined, so that it does not pass for a probe's.
    bool outlined = false;
    // The column outside the bar, erased so that the previous bar, marks and
    // texts disappear.
    PixelRect clearAbove;
    PixelRect clearBelow;
    // Tolerance marks across the bar; limits off the plot get none.
    bool markLower = false;
    bool markUpper = false;
    PixelRect lowerMark;
    PixelRect upperMark;
    // Probe number (two characters, tens blank below 10) or characteristic
    // label ("C1".."C32") and the value text, each placed by its top-left corner.
    std::array<char, 3> number{};
    uint8_t numberLength = 2;
    int32_t numberX = 0;
    int32_t numberY = 0;
    int32_t textX = 0;
    int32_t textY = 0;
};

inline std::string_view numberText(const ColumnPlan& column) {
    return {column.number.data(), std::min<size_t>(column.numberLength, column.number.size())};
}

// Red out of tolerance, yellow in the warning strip, green otherwise.
inline Rgb barColor(const ColumnPlan& column) {
    if (column.judgement != tolerance::Judgement::Ok) return colors::kNg;
    return column.warning ? colors::kWarning : colors::kOk;
}

// The OK/NG box at fixed client coordinates, right of the top band.
struct VerdictPlan {
    bool draw = false;
    bool ng = false;
    PixelRect box{680, 16, 757, 65};
    int32_t textX = 690;
    int32_t textY = 10;
};

struct AxesPlan {
    PixelRect zeroLine;
    PixelRect leftAxis;
    PixelRect highLine;
    PixelRect lowLine;
};

// Font sizes in pixels: the label font of the columns follows the label size,
// the verdict's is fixed.
struct FontSize {
    int32_t height = 0;
    int32_t width = 0;
    bool operator==(const FontSize&) const = default;
};
constexpr FontSize labelFont(int32_t labelSize) { return {labelSize / 2, labelSize / 10}; }
constexpr FontSize kVerdictFont{60, 15};

// One redraw of the chart: the columns of probes 0..probes-1 and after them
// those of the characteristics, then the verdict box and the axes over them.
struct ChartPlan {
    unsigned probes = 0;
    unsigned characteristics = 0;
    ColumnGeometry geometry;
    int32_t labelSize = 0;
    VerticalScale scale;
    std::array<ColumnPlan, measure::kMaxValues> columns{};
    // The value texts of the characteristics' columns (the probes' are the
    // display's value texts).
    std::array<ValueText, measure::kMaxCharacteristics> characteristicTexts{};

    unsigned columnCount() const { return probes + characteristics; }
    VerdictPlan verdict;
    AxesPlan axes;
};

// Where one probe's bar ends: up from the zero line for a value of 0 or
// more, down for a negative one, at most to the display range.
struct BarExtent {
    int32_t top = 0;
    int32_t bottom = 0;
};
BarExtent barExtent(const measure::Length& reading, const DisplayRange& range, const VerticalScale& scale);

// Lays out column `index` of `plan` (whose geometry and scale are set), with
// the limit marks of its probe and the colour of its judgement.
void planColumn(ChartPlan& plan, unsigned index, const ChartArea& area, const measure::Length& reading,
                const BarExtent& extent, const tolerance::ToleranceTable& tolerances, tolerance::Judgement judgement);
// The same with the zone of the reading, so that a warning shows.
void planColumn(ChartPlan& plan, unsigned index, const ChartArea& area, const measure::Length& reading,
                const BarExtent& extent, const tolerance::ToleranceTable& tolerances, tolerance::Zone zone);

// Lays out column `index` of `plan` for characteristic `index - plan.probes`,
// with its limits in counts of 0.001 mm; an absent value has no bar.
void planCharacteristicColumn(ChartPlan& plan, unsigned index, const ChartArea& area,
                              const std::optional<measure::Length>& value, const DisplayRange& range,
                              int32_t lowerCounts, int32_t upperCounts, tolerance::Zone zone);

// The value text column `index` of `plan` shows.
inline const ValueText& columnText(const ChartPlan& plan, const ValueTextTable& texts, unsigned index) {
    return index < plan.probes ? texts[index] : plan.characteristicTexts[index - plan.probes];
}

// Lays out the verdict box and the axes after the last column.
void planFrame(ChartPlan& plan, const ChartArea& area, const DisplayRange& range, bool logoShown, bool anyNg);

}  // namespace gaugemon::display
