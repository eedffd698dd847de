#pragma once
#include <cstdint>

namespace gaugemon::display {

// The plot rectangle in the main window's client pixels. The defaults hold
// until the window is first laid out.
struct ChartArea {
    int32_t left = 22;
    int32_t right = 668;
    int32_t top = 120;
    int32_t bottom = 310;
    bool operator==(const ChartArea&) const = default;
};

// The plot inside the chart frame: inset 10 pixels at the sides, 18 under the
// frame's caption and 36 above its bottom edge.
constexpr ChartArea chartAreaFromFrame(int32_t frameLeft, int32_t frameTop, int32_t frameRight, int32_t frameBottom) {
    return {frameLeft + 10, frameRight - 10, frameTop + 18, frameBottom - 36};
}

}  // namespace gaugemon::display
