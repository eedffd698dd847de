#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "measure/length_unit.h"

namespace gaugemon::tolerance {

// The 7-character text of a limit in display units, as the tolerance list
// shows it: "  3.000", "-12.345", "-123.45" in millimetres, " 0.1181",
// "-0.0300" in inches (ten-thousandths; the last stored digit is not shown).
struct LimitText {
    std::array<char, 8> slot{};
    std::string_view text() const { return {slot.data(), 7}; }
};

LimitText formatLimitText(int32_t display, measure::LengthUnit unit);

// A limit in device counts as the Chinese header of a record file writes it:
// sign, two integer digits and three decimals of millimetres, whatever the
// display unit ("+06.000", "-00.050"). Seven characters for every limit below
// 100 mm; larger limits keep all their integer digits ("+123.456") rather
// than showing a wrong number. A characteristic's limit shows its `decimals`
// (0..4) instead of three, or more where the limit needs them: it is never
// rounded.
struct HeaderLimitText {
    std::array<char, 13> slot{};
    uint8_t size = 0;
    std::string_view text() const { return {slot.data(), size}; }
};

inline constexpr unsigned kHeaderLimitDecimals = 3;
HeaderLimitText formatHeaderLimit(int32_t counts, unsigned decimals = kHeaderLimitDecimals);

}  // namespace gaugemon::tolerance
