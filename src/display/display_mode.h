#pragma once
#include <cstdint>

#include "core/language.h"

namespace gaugemon::display {

// The instrument's display mode: what it reports as a probe's value. Maximum,
// minimum and range are worked out by the instrument itself; the station only
// writes the selected index to it and shows what comes back.
enum class DisplayMode : uint8_t { RealTime = 0, Maximum = 1, Minimum = 2, Range = 3 };

constexpr unsigned kDisplayModeCount = 4;

// Selector item of a mode. The English items are padded to 7 characters so
// that the list looks even.
constexpr const char* modeSelectorText(DisplayMode mode, core::Language language) {
    switch (mode) {
        case DisplayMode::RealTime: return core::pick(language, "  RV   ", "实时值");
        case DisplayMode::Maximum: return core::pick(language, "  MAX  ", "最大值");
        case DisplayMode::Minimum: return core::pick(language, "  MIN  ", "最小值");
        case DisplayMode::Range: return core::pick(language, "MAX-MIN", "极差值");
    }
    return "";
}

}  // namespace gaugemon::display
