#pragma once
#include <cstdint>

namespace gaugemon::display {

// The unit of the value texts and of the stored tolerance limits; the numbers
// are what the `Unit` setting and the unit selector's item index hold.
enum class LengthUnit : uint8_t { Millimetre = 0, Inch = 1 };

// A stored `Unit` that is neither item of the selector falls back to the
// default, millimetre, so that no unit outside the list is ever in force.
constexpr LengthUnit lengthUnitFromSetting(int32_t stored) {
    return stored == 1 ? LengthUnit::Inch : LengthUnit::Millimetre;
}

constexpr int32_t lengthUnitSetting(LengthUnit unit) { return static_cast<int32_t>(unit); }

// Selector item of a unit; the same in both interface languages.
constexpr const char* unitSelectorText(LengthUnit unit) { return unit == LengthUnit::Inch ? "in" : "mm"; }

constexpr unsigned kUnitSelectorItems = 2;

}  // namespace gaugemon::display
