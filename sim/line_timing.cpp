#include "sim/line_timing.h"

#include <algorithm>

namespace gaugemon::sim {

int bitsPerCharacter(link::LineSettings line) {
    const int parityBits = link::parityOf(line) == link::Parity::None ? 0 : 1;
    const int stopBits = link::stopBitsOf(line) == link::StopBits::Two ? 2 : 1;
    return 1 + 8 + parityBits + stopBits;
}

int64_t characterTimeUs(int baudRate, link::LineSettings line) {
    if (baudRate <= 0) return 0;
    // Rounded up, so a byte is never taken as arrived before its last bit.
    const int64_t bitsTimesMillion = int64_t{bitsPerCharacter(line)} * 1'000'000;
    return (bitsTimesMillion + baudRate - 1) / baudRate;
}

int64_t wireTimeUs(size_t count, int baudRate, link::LineSettings line) {
    return static_cast<int64_t>(count) * characterTimeUs(baudRate, line);
}

int64_t frameGapUs(int baudRate, link::LineSettings line) {
    constexpr int64_t kFixedGapUs = 1750;
    return std::max<int64_t>(kFixedGapUs, characterTimeUs(baudRate, line) * 7 / 2);
}

}  // namespace gaugemon::sim
