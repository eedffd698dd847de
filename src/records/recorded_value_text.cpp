#include "records/recorded_value_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace gaugemon::records {

namespace {

using Three = std::array<char, 3>;

// "007" for 7, and "  7" with the leading zeros blank.
struct ThreeDigitTables {
    std::array<Three, 1000> zeroPadded{};
    std::array<Three, 1000> blankPadded{};
    constexpr ThreeDigitTables() {
        for (int n = 0; n < 1000; ++n) {
            const Three digits{static_cast<char>('0' + n / 100), static_cast<char>('0' + n / 10 % 10),
                               static_cast<char>('0' + n % 10)};
            zeroPadded[n] = digits;
            blankPadded[n] = {n < 100 ? ' ' : digits[0], n < 10 ? ' ' : digits[1], digits[2]};
        }
    }
};
constexpr ThreeDigitTables kDigits;

constexpr int32_t kLargestShown = display::kMaxShownCounts;

}  // namespace

void putRecordedValueText(int32_t counts, measure::LengthUnit unit, bool fineResolution, char* out) {
    if (unit != measure::LengthUnit::Millimetre || fineResolution) {
        const display::ValueText text = display::formatValueText(counts, unit, fineResolution);
        std::copy_n(text.slot.data(), 8, out);
        return;
    }
    const bool negative = counts < 0;
    const auto magnitude = static_cast<int32_t>(std::min<int64_t>(std::llabs(int64_t{counts}), kLargestShown));
    const Three& whole = kDigits.blankPadded[magnitude / 1000];
    const Three& part = kDigits.zeroPadded[magnitude % 1000];
    if (negative && magnitude >= 100'000) {
        // Three whole digits leave room for two decimals.
        out[0] = '-';
        std::copy_n(whole.data(), 3, out + 1);
        out[4] = '.';
        std::copy_n(part.data(), 2, out + 5);
    } else {
        std::copy_n(whole.data(), 3, out);
        // The sign keeps the first place even when the tens are blank.
        if (negative) out[0] = '-';
        out[3] = '.';
        std::copy_n(part.data(), 3, out + 4);
    }
    out[7] = ' ';
}

}  // namespace gaugemon::records
