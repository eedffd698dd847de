#include "display/change_detection.h"

#include <algorithm>

namespace gaugemon::display {

bool ChangeDetector::update(std::span<const measure::Length> readings) {
    const size_t count = std::min<size_t>(readings.size(), measure::kMaxProbes);
    bool moved = false;
    for (size_t i = 0; i < count; ++i) {
        const measure::Length& now = readings[i];
        measure::Length& seen = previous_[i];
        if (now != seen) {
            moved = true;
            seen = now;
        }
    }
    return moved;
}

}  // namespace gaugemon::display
