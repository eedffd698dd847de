#include "tolerance/tolerance_entry.h"

#include <charconv>
#include <cmath>

namespace gaugemon::tolerance {

namespace {

// Significant digits kept of an entry, by its size.
int significantDigits(double magnitude, measure::LengthUnit unit) {
    const int inchExtra = unit == measure::LengthUnit::Inch ? 1 : 0;
    if (magnitude >= 100.0) return 6 + inchExtra;
    if (magnitude >= 10.0) return 5 + inchExtra;
    if (magnitude >= 1.0) return 4 + inchExtra;
    return 3 + inchExtra;
}

// The decimal digits of a float as the operator would have typed it (its
// shortest exact form), without sign: digits d[0..count) and the power of ten
// of d[0].
struct DecimalDigits {
    int d[12] = {};
    int count = 0;
    int exponent = 0;
};

DecimalDigits decimalDigits(float magnitude) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    DecimalDigits out;
    const char* p = buffer;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && out.count < 12) out.d[out.count++] = *p - '0';
    }
    // The exponent: 'e', a sign, then digits; the buffer has no terminator.
    if (p + 2 < result.ptr) {
        int exponent = 0;
        std::from_chars(p + 2, result.ptr, exponent);
        out.exponent = p[1] == '-' ? -exponent : exponent;
    }
    return out;
}

// Keeps `keep` significant digits, a following digit of 5 or more rounding
// the magnitude up.
void roundHalfUp(DecimalDigits& v, int keep) {
    if (v.count <= keep) return;
    const bool up = v.d[keep] >= 5;
    v.count = keep;
    if (!up) return;
    for (int i = keep - 1; i >= 0; --i) {
        if (++v.d[i] < 10) return;
        v.d[i] = 0;
    }
    // 9.9995 -> 10.00: the carry runs out of the first digit.
    for (int i = v.count; i > 0; --i) v.d[i] = v.d[i - 1];
    v.d[0] = 1;
    ++v.exponent;
}

}  // namespace

std::optional<int32_t> displayFromEntry(float entry, measure::LengthUnit unit) {
    if (!std::isfinite(entry)) return std::nullopt;
    const bool inch = unit == measure::LengthUnit::Inch;
    const double magnitude = std::fabs(static_cast<double>(entry));
    // Checked before the digits are taken so that the sum below cannot overflow.
    const double largest = inch ? 10.0 : 1000.0;
    if (magnitude >= largest) return std::nullopt;
    if (magnitude == 0.0) return 0;

    DecimalDigits v = decimalDigits(std::fabs(entry));
    roundHalfUp(v, significantDigits(magnitude, unit));

    // Integer part and the first three (mm) or four (in) decimals.
    const int decimals = inch ? 4 : 3;
    int64_t kept = 0;
    for (int i = 0; i < v.count; ++i) {
        const int place = v.exponent - i + decimals;
        if (place < 0) break;
        int64_t term = v.d[i];
        for (int k = 0; k < place; ++k) term *= 10;
        kept += term;
    }
    if (inch) kept *= 10;
    if (kept > kMaxLimitDisplay) return std::nullopt;
    const int32_t display = static_cast<int32_t>(kept);
    return entry < 0 ? -display : display;
}

float limitFieldValue(int32_t display, measure::LengthUnit unit) {
    // The last digit of an inch limit is dropped, not rounded.
    if (unit == measure::LengthUnit::Inch)
        return static_cast<float>((display / 10) * 0.0001);  // NOLINT(bugprone-integer-division)
    return static_cast<float>(display * 0.001);
}

}  // namespace gaugemon::tolerance
