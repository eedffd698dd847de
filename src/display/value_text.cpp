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

namespace {

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000};

// a / b rounded half away from zero; b > 0.
int64_t divideRounded(int64_t a, int64_t b) { return (a < 0 ? a - b / 2 : a + b / 2) / b; }

}  // namespace

ValueText formatCharacteristicText(const std::optional<measure::Length>& value, measure::LengthUnit unit,
                                   unsigned decimals) {
    if (!value) return make(kBlank, kBlank, kBlank, kMinus, kMinus, kBlank, kBlank, kBlank);
    const int64_t tenths = value->tenthMicrometres();
    int64_t scaled = 0;
    unsigned shown = 0;
    if (unit == measure::LengthUnit::Inch) {
        // 0.0001 mm is 100 / 254 of 0.00001 in.
        shown = decimals + 2 > 5 ? 5 : decimals + 2;
        scaled = divideRounded(tenths * 100, 254 * kPowersOfTen[5 - shown]);
    } else {
        shown = decimals > 4 ? 4 : decimals;
        scaled = divideRounded(tenths, kPowersOfTen[4 - shown]);
    }
    // Sign, digits and point within 8 characters: a long value gives up
    // decimals first, as a probe's text does.
    uint64_t magnitude = static_cast<uint64_t>(scaled < 0 ? -scaled : scaled);
    auto largest = [&shown] { return (shown > 0 ? 1'000'000u : 10'000'000u) - 1; };
    while (shown > 0 && magnitude > largest()) {
        magnitude = (magnitude + 5) / 10;
        --shown;
    }
    if (magnitude > largest()) magnitude = largest();
    ValueText t;
    t.slot.fill(kBlank);
    t.slot[8] = '\0';
    int at = 7;
    for (unsigned i = 0; i < shown; ++i) {
        t.slot[at--] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (shown > 0) t.slot[at--] = kPoint;
    do {
        t.slot[at--] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0 && at >= 1);
    if (scaled < 0) t.slot[at] = kMinus;
    return t;
}

}  // namespace gaugemon::display
