#pragma once
#include <cstdint>

#include "core/settings_store.h"

namespace gaugemon::display {

// The values at the bottom and the top of the chart, in device counts
// (0.001 mm), whatever the length unit. Persisted as ResoL and ResoH.
struct DisplayRange {
    int32_t low = core::defaults::kResoL;
    int32_t high = core::defaults::kResoH;
    bool operator==(const DisplayRange&) const = default;
};

DisplayRange loadDisplayRange(const core::SettingsStore& store);

// What the range fields show for a limit: millimetres.
float rangeFieldValue(int32_t counts);

// Why a range entry was refused.
enum class RangeRefusal : uint8_t {
    None,
    LowerNotAtMostZero,
    LowerBelowSmallest,
    UpperNotAboveZero,
    UpperAboveLargest,
};

// The message of a refusal, the same in both languages; null for None.
const char* rangeRefusalText(RangeRefusal refusal);

// The range confirmation: the lower entry must be 0 or below, the upper one
// above 0, both in millimetres; each is rounded to the nearest count, halves
// away from zero. An upper entry that rounds to 0 counts (below 0.0005 mm)
// is refused like an upper entry of 0. Entries whose counts would not fit
// 32 bits (beyond 2147483 mm) are refused, not cut to fit. On success the
// new range is stored in `range` and persisted (ResoH and ResoL in one
// write); otherwise the refusal, and nothing changed. The lower entry is
// tested first.
RangeRefusal confirmDisplayRange(float lower, float upper, DisplayRange& range, core::SettingsStore& store);

}  // namespace gaugemon::display
