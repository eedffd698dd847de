#pragma once
#include <cstdint>

namespace gaugemon::display {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

namespace colors {
inline constexpr Rgb kPlotBackground{232, 232, 232};
inline constexpr Rgb kOk{0, 238, 0};
inline constexpr Rgb kNg{255, 0, 0};
// A reading inside its limits but in the warning strip next to one; a
// yellow dark enough to set off the tolerance marks drawn across it.
inline constexpr Rgb kWarning{255, 235, 0};
inline constexpr Rgb kToleranceMark{205, 173, 0};
inline constexpr Rgb kAxis{0, 222, 222};
inline constexpr Rgb kProbeNumber{0, 0, 0};
inline constexpr Rgb kValueText{0, 0, 255};
// The edge of a characteristic's bar: a value computed from probes, not read.
inline constexpr Rgb kCharacteristicOutline{0, 0, 128};
}  // namespace colors

}  // namespace gaugemon::display
