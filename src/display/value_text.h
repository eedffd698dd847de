#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "display/length_unit.h"
#include "measure/counts.h"
#include "measure/length.h"

namespace gaugemon::display {

// The 8-character text of one probe's value, shown under its bar and copied
// into recorded rows; kept in a 9-byte slot whose last byte stays zero.
struct ValueText {
    std::array<char, 9> slot{};
    std::string_view text() const { return {slot.data(), 8}; }
    bool operator==(const ValueText&) const = default;
};

using ValueTextTable = std::array<ValueText, gaugemon::measure::kMaxProbes>;

// Largest magnitude the text can show, in device counts: three integer digits
// of millimetres on a standard probe.
constexpr int32_t kMaxShownCounts = 999999;

// The text of a probe value in device counts (0.001 mm, or 0.0001 mm when
// `fineResolution`). Millimetre texts end in a blank; inch texts show
// 0.00005 in steps, cut downwards. Magnitudes beyond the text are shown at
// its limit; negative values with three integer digits lose their last
// decimal so that the text stays 8 characters wide.
ValueText formatValueText(int32_t value, measure::LengthUnit unit, bool fineResolution);

// The text of a characteristic's value: in `unit` with its `decimals` of a
// millimetre (two more in inches, at most five), rounded half away from zero
// and right-aligned, a value too long for 8 characters with fewer decimals;
// "   --   " for a value that could not be computed.
ValueText formatCharacteristicText(const std::optional<measure::Length>& value, measure::LengthUnit unit,
                                   unsigned decimals);

}  // namespace gaugemon::display
