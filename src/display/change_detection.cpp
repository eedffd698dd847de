#include "display/change_detection.h"

#include <algorithm>

namespace gaugemon::display {

bool ChangeDetector::update(const std::array<link::ChannelReading, link::kReadingSlots>& readings,
                            unsigned probes) {
    const unsigned count = std::min(probes, link::kMaxProbes);
    bool moved = false;
    for (unsigned i = 0; i < count; ++i) {
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
