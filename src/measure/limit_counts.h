#pragma once
#include <cstdint>

#include "measure/length_unit.h"

namespace gaugemon::measure {

// Stored limit units to counts of 0.001 mm and back (inch limits are kept in
// 0.00001 in): inch values are rounded to the nearest count on the way in and
// truncated toward zero on the way out, so a limit converted to inch and back
// keeps its count. Results beyond 32 bits saturate.
int32_t limitCountsFromStored(int32_t stored, LengthUnit unit);
int32_t limitStoredFromCounts(int32_t counts, LengthUnit unit);

}  // namespace gaugemon::measure
