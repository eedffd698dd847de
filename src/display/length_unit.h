#pragma once
#include "measure/length_unit.h"

namespace gaugemon::display {

// Selector item of a unit; the same in both interface languages.
constexpr const char* unitSelectorText(measure::LengthUnit unit) {
    return unit == measure::LengthUnit::Inch ? "in" : "mm";
}

constexpr unsigned kUnitSelectorItems = 2;

}  // namespace gaugemon::display
