#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "measure/length_unit.h"

namespace gaugemon::exchange {

using measure::LengthUnit;

// Numbers in the exchange files are kept as integers of 0.00001 of their
// unit, the finest step any value text shows (inch texts have five decimals),
// so no value is rounded on its way from the row to the file.
inline constexpr int kMaxDecimals = 5;
inline constexpr int64_t kUnitsPerWhole = 100'000;

struct ScaledNumber {
    int64_t units = 0;  // 0.00001 of the unit
    int decimals = 0;   // decimals to show, 0..kMaxDecimals
};

// A value as the instrument showed it in a row: the number and the unit of its
// text. Millimetre texts end in a blank ("  2.345 ", " 1.2345 "), inch texts
// in a digit (" 0.48600", "-10.0000"), so every text tells its own unit even
// when the unit was switched while rows were being recorded.
struct ShownValue {
    ScaledNumber number;
    LengthUnit unit = LengthUnit::Millimetre;
};

// Nothing for a text that is not a number (a slot never filled, bytes damaged).
std::optional<ShownValue> parseValueText(std::string_view eightBytes);

// The number of a characteristic's value text ("  24.997", " -0.0420"), in
// the unit it was recorded in; nothing for "   --   " or damaged bytes.
std::optional<ScaledNumber> parseCharacteristicText(std::string_view eightBytes);

// The value in `target`: unchanged when already in it, else converted and
// rounded to the nearest step the target unit shows (0.001 mm, 0.00001 in).
ScaledNumber inUnit(const ShownValue& value, LengthUnit target);

// A limit in device counts (0.001 mm) in `target`: millimetres with three
// decimals; inches truncated toward zero as the tolerance table converts them,
// five decimals.
ScaledNumber limitInUnit(int32_t counts, LengthUnit target);

// A characteristic's limit in `target` with the decimals the characteristic's
// values show there (its `decimals` in millimetres, two more in inches, at
// most five), or more where the limit needs them: a limit is never rounded.
ScaledNumber characteristicLimitInUnit(int32_t counts, unsigned decimals, LengthUnit target);

// "2.345", "-0.05000": sign, integer digits, a decimal point and `decimals`
// digits, whatever the locale; returns the characters written (at most 24).
size_t formatScaled(const ScaledNumber& number, char* out);

// What the unit is called in the files.
constexpr const char* unitName(LengthUnit unit) { return unit == LengthUnit::Inch ? "in" : "mm"; }

}  // namespace gaugemon::exchange
