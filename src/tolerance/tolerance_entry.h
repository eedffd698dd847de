#pragma once
#include <cstdint>
#include <optional>

#include "measure/length_unit.h"

namespace gaugemon::tolerance {

// Largest magnitude of a limit in display units that an entry may give.
constexpr int32_t kMaxLimitDisplay = 999999;

// Turns an entered limit (millimetres or inches, as the operator typed it)
// into display units: the entry is rounded to a number of significant digits
// that depends on its size, half up, then cut to three decimals (mm) or four
// (in; the stored inch value then ends in 0). 12.3456 mm -> 12346,
// 0.0567 mm -> 56, 0.12345 in -> 12350. Nothing for an entry that is not a
// number or whose value would exceed kMaxLimitDisplay.
std::optional<int32_t> displayFromEntry(float entry, measure::LengthUnit unit);

// The value a limit field shows for a stored display value: millimetres, or
// inches to four decimals.
float limitFieldValue(int32_t display, measure::LengthUnit unit);

}  // namespace gaugemon::tolerance
