#include "tolerance/tolerance_text.h"

#include <array>
#include <cstdlib>

namespace gaugemon::tolerance {

namespace {

constexpr char kBlank = ' ';
constexpr uint32_t kMaxShown = 999999;
// The place of a limit count's d-th decimal of a millimetre, d = 1..3 (index 0:
// the whole millimetre).
constexpr std::array<uint32_t, 4> kPlaces{1000, 100, 10, 1};

char digit(uint32_t magnitude, uint32_t place) { return static_cast<char>('0' + magnitude / place % 10); }

LimitText make(char c0, char c1, char c2, char c3, char c4, char c5, char c6) {
    LimitText t;
    t.slot = {c0, c1, c2, c3, c4, c5, c6, '\0'};
    return t;
}

uint32_t shown(int64_t magnitude) { return static_cast<uint32_t>(magnitude > kMaxShown ? kMaxShown : magnitude); }

// Thousandths of a millimetre.
LimitText millimetres(bool negative, uint32_t v) {
    const char h = digit(v, 100000), t = digit(v, 10000), u = digit(v, 1000);
    const char d1 = digit(v, 100), d2 = digit(v, 10), d3 = digit(v, 1);
    if (!negative) {
        const bool noHundreds = h == '0';
        return make(noHundreds ? kBlank : h, noHundreds && t == '0' ? kBlank : t, u, '.', d1, d2, d3);
    }
    if (h == '0') return make('-', t == '0' ? kBlank : t, u, '.', d1, d2, d3);
    return make('-', h, t, u, '.', d1, d2);
}

// Ten-thousandths of an inch.
LimitText inches(bool negative, uint32_t w) {
    const char t = digit(w, 100000), u = digit(w, 10000);
    const char d1 = digit(w, 1000), d2 = digit(w, 100), d3 = digit(w, 10), d4 = digit(w, 1);
    if (!negative) return make(t == '0' ? kBlank : t, u, '.', d1, d2, d3, d4);
    if (t == '0') return make('-', u, '.', d1, d2, d3, d4);
    return make('-', t, u, '.', d1, d2, d3);
}

}  // namespace

LimitText formatLimitText(int32_t display, measure::LengthUnit unit) {
    const bool negative = display < 0;
    const int64_t magnitude = std::llabs(static_cast<int64_t>(display));
    if (unit == measure::LengthUnit::Inch) return inches(negative, shown(magnitude / 10));
    return millimetres(negative, shown(magnitude));
}

HeaderLimitText formatHeaderLimit(int32_t counts, unsigned decimals) {
    HeaderLimitText t;
    const uint32_t m = static_cast<uint32_t>(std::llabs(static_cast<int64_t>(counts)));
    auto put = [&t](char c) { t.slot[t.size++] = c; };
    put(counts < 0 ? '-' : '+');
    // Integer millimetres: at least two digits, more when the limit needs them.
    uint32_t place = 10;
    while (place <= m / 1000 / 10 && place < 1000000000u) place *= 10;
    for (; place >= 1; place /= 10) put(digit(m / 1000, place));
    // The counts hold three decimals; a fourth is always 0.
    unsigned shown = decimals > 4 ? 4 : decimals;
    while (shown < kHeaderLimitDecimals && m % kPlaces[shown] != 0) ++shown;
    if (shown > 0) put('.');
    for (unsigned d = 0; d < shown; ++d) put(d < kHeaderLimitDecimals ? digit(m, kPlaces[d + 1]) : '0');
    return t;
}

}  // namespace gaugemon::tolerance
