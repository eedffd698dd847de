#include "display/change_detection.h"

#include <algorithm>

namespace gaugemon::display {

bool ChangeDetector::update(std::span<const link::ChannelReading> readings) {
    const size_t count = std::min<size_t>(readings.size(), link::kMaxProbes);
    bool moved = false;
    for (size_t i = 0; i < count; ++i) {
        const link::ChannelReading& now = readings[i];
        link::ChannelReading& seen = previous_[i];
        if (now.value != seen.value || now.scaledBy5 != seen.scaledBy5) {
            moved = true;
            seen = now;
        }
    }
    return moved;
}

}  // namespace gaugemon::display
