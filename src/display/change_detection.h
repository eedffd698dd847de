#pragma once
#include <array>

#include "link/link_state.h"

namespace gaugemon::display {

// Remembers the readings of the last display update, to tell whether the
// chart must be drawn again. Every probe counts as 0 before the first update.
class ChangeDetector {
public:
    // Compares probes 0..probes-1 with the readings seen last and remembers
    // them; true when any of them moved. A reading that changes between
    // standard and fine resolution counts as moved, since its text changes.
    bool update(const std::array<link::ChannelReading, link::kReadingSlots>& readings, unsigned probes);

private:
    std::array<link::ChannelReading, link::kMaxProbes> previous_{};
};

}  // namespace gaugemon::display
