#pragma once
#include <cstdint>

namespace gaugemon::measure {

// The unit values are shown, judged against stored limits and written in; the
// numbers are what the `Unit` setting and the unit selector's item index hold.
enum class LengthUnit : uint8_t { Millimetre = 0, Inch = 1 };

// A stored `Unit` that is neither item of the selector falls back to the
// default, millimetre, so that no unit outside the list is ever in force.
constexpr LengthUnit lengthUnitFromSetting(int32_t stored) {
    return stored == 1 ? LengthUnit::Inch : LengthUnit::Millimetre;
}

constexpr int32_t lengthUnitSetting(LengthUnit unit) { return static_cast<int32_t>(unit); }

}  // namespace gaugemon::measure
