#include "display/value_text.h"

#include <cstdlib>

namespace gaugemon::display {

namespace {

constexpr char kBlank = ' ';
constexpr char kMinus = '-';
constexpr char kPoint = '.';

// Decimal digits of a magnitude, least significant first: d[0] is the units.
template <unsigned Count>
struct Digits {
    char d[Count];
    explicit Digits(uint32_t magnitude) {
        for (unsigned i = 0; i < Count; ++i) {
            d[i] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        }
    }
    bool zero(unsigned i) const { return d[i] == '0'; }
};

ValueText make(char c0, char c1, char c2, char c3, char c4, char c5, char c6, char c7) {
    ValueText t;
    t.slot = {c0, c1, c2, c3, c4, c5, c6, c7, '\0'};
    return t;
}

uint32_t clampedMagnitude(int64_t magnitude) {
    return static_cast<uint32_t>(magnitude > kMaxShownCounts ? kMaxShownCounts : magnitude);
}

// Thousandths of a millimetre: "  2.345 ", "-12.345 ", "-123.45 ".
ValueText millimetres(bool negative, uint32_t m) {
    const Digits<6> g(m);
    if (!negative) {
        const char a = g.zero(5) ? kBlank : g.d[5];
        const char b = g.zero(5) && g.zero(4) ? kBlank : g.d[4];
        return make(a, b, g.d[3], kPoint, g.d[2], g.d[1], g.d[0], kBlank);
    }
    if (g.zero(5)) {
        // The sign keeps the first position even when the tens are blank.
        const char b = g.zero(4) ? kBlank : g.d[4];
        return make(kMinus, b, g.d[3], kPoint, g.d[2], g.d[1], g.d[0], kBlank);
    }
    return make(kMinus, g.d[5], g.d[4], g.d[3], kPoint, g.d[2], g.d[1], kBlank);
}

// Ten-thousandths of a millimetre: " 1.2345 ", "-12.345 ".
ValueText fineMillimetres(bool negative, uint32_t m) {
    const Digits<6> g(m);
    if (!negative) {
        const char a = g.zero(5) ? kBlank : g.d[5];
        return make(a, g.d[4], kPoint, g.d[3], g.d[2], g.d[1], g.d[0], kBlank);
    }
    if (g.zero(5)) return make(kMinus, g.d[4], kPoint, g.d[3], g.d[2], g.d[1], g.d[0], kBlank);
    return make(kMinus, g.d[5], g.d[4], kPoint, g.d[3], g.d[2], g.d[1], kBlank);
}

// Inches from thousandths of a millimetre, in steps of 0.00005 in cut
// downwards: " 0.48600", "-10.0000".
ValueText inches(bool negative, uint32_t m) {
    const uint32_t n = m * 1000u / 254u;  // hundred-thousandths of an inch; m <= 999999 keeps it in range
    const Digits<7> g(n);
    const char last = g.d[0] < '5' ? '0' : '5';
    if (!negative) {
        const char a = g.zero(6) ? kBlank : g.d[6];
        return make(a, g.d[5], kPoint, g.d[4], g.d[3], g.d[2], g.d[1], last);
    }
    if (g.zero(6)) return make(kMinus, g.d[5], kPoint, g.d[4], g.d[3], g.d[2], g.d[1], last);
    return make(kMinus, g.d[6], g.d[5], kPoint, g.d[4], g.d[3], g.d[2], g.d[1]);
}

}  // namespace

ValueText formatValueText(int32_t value, measure::LengthUnit unit, bool fineResolution) {
    const bool negative = value < 0;
    const int64_t magnitude = std::llabs(static_cast<int64_t>(value));
    if (unit == measure::LengthUnit::Inch) {
        // A fine-resolution count is a tenth of a standard one.
        return inches(negative, clampedMagnitude(fineResolution ? magnitude / 10 : magnitude));
    }
    const uint32_t m = clampedMagnitude(magnitude);
    return fineResolution ? fineMillimetres(negative, m) : millimetres(negative, m);
}

}  // namespace gaugemon::display
