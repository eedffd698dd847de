#pragma once
// Rows of tests are written as the value texts they show; these turn such a
// text back into the number it was made from.
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "display/value_text.h"
#include "records/record_table.h"

namespace gaugemon::test {

// The number whose value text is `eight` (mm or inch, as the text shows),
// recorded without a judgement; no number for eight zero bytes. The number's
// own text may place its blanks otherwise ("- 0.052 " for " -0.052 "); a
// text of no number throws.
inline records::ProbeNumber numberOfText(std::string_view eight) {
    if (eight.size() == 8 && eight.find_first_not_of('\0') == std::string_view::npos) return {};
    if (eight.size() != 8) throw std::invalid_argument("not a value text: " + std::string(eight));
    const bool inch = eight.back() != ' ';
    const bool negative = eight.find('-') != std::string_view::npos;
    int64_t digits = 0;
    int decimals = -1;
    for (const char c : eight) {
        if (c == '.') decimals = 0;
        if (c < '0' || c > '9') continue;
        digits = digits * 10 + (c - '0');
        if (decimals >= 0) ++decimals;
    }
    records::ProbeNumber n;
    n.present = true;
    n.unit = inch ? measure::LengthUnit::Inch : measure::LengthUnit::Millimetre;
    if (inch) {
        // Hundred-thousandths of an inch back to the smallest count that shows them.
        const int64_t n5 = decimals == 4 ? digits * 10 : digits;
        n.counts = static_cast<int32_t>((n5 * 254 + 999) / 1000);
    } else {
        n.fine = decimals == 4;
        n.counts = static_cast<int32_t>(decimals == 2 ? digits * 10 : digits);
    }
    if (negative) n.counts = -n.counts;
    const auto unblanked = [](std::string_view text) {
        std::string s(text);
        s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
        return s;
    };
    if (unblanked(n.text().text()) != unblanked(eight))
        throw std::invalid_argument("not a value text: " + std::string(eight));
    return n;
}

inline measure::Length lengthOf(const records::ProbeNumber& n) {
    return {n.counts, n.fine ? measure::Resolution::TenthMicrometre : measure::Resolution::Micrometre};
}

}  // namespace gaugemon::test
