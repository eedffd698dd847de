#pragma once
#include <array>
#include <span>

#include "measure/counts.h"
#include "measure/length.h"

namespace gaugemon::display {

// Remembers the readings of the last display update, to tell whether the
// chart must be drawn again. Every probe counts as 0 before the first update.
class ChangeDetector {
public:
    // Compares the readings (probes 0..N-1, at most 60) with those seen last
    // and remembers them; true when any of them moved. A reading that changes between
    // standard and fine resolution counts as moved, since its text changes.
    bool update(std::span<const measure::Length> readings);

private:
    std::array<measure::Length, measure::kMaxProbes> previous_{};
};

}  // namespace gaugemon::display
