#include "measure/limit_counts.h"

#include <limits>

namespace gaugemon::measure {

namespace {

// One inch is 25.4 mm: 254 thousandths of a millimetre per 1000 units of
// 0.00001 in.
constexpr int64_t kCountsPerThousandInchUnits = 254;
constexpr int64_t kInchUnitsPerThousand = 1000;

int32_t saturate(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t limitCountsFromStored(int32_t stored, LengthUnit unit) {
    if (unit != LengthUnit::Inch) return stored;
    const int64_t scaled = int64_t{stored} * kCountsPerThousandInchUnits;
    const int64_t half = kInchUnitsPerThousand / 2;
    return saturate((scaled + (scaled < 0 ? -half : half)) / kInchUnitsPerThousand);
}

int32_t limitStoredFromCounts(int32_t counts, LengthUnit unit) {
    if (unit != LengthUnit::Inch) return counts;
    return saturate(int64_t{counts} * kInchUnitsPerThousand / kCountsPerThousandInchUnits);
}

}  // namespace gaugemon::measure
