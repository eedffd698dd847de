#pragma once
#include <array>
#include <cstring>

namespace gaugemon::records {

// "00" to "99": the fixed-width numbers of every row a file or the list shows
// (row number, time stamp) two digits at a time rather than one division each.
inline constexpr std::array<std::array<char, 2>, 100> kDigitPairs = [] {
    std::array<std::array<char, 2>, 100> pairs{};
    for (int n = 0; n < 100; ++n) pairs[n] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    return pairs;
}();

// `n` below 100.
inline void putTwoDigits(char* out, unsigned n) { std::memcpy(out, kDigitPairs[n].data(), 2); }

}  // namespace gaugemon::records
