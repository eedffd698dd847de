#include "link/line_timing.h"

namespace gaugemon::link {

namespace {
// What an unknown rate is taken as: the slowest the instrument has, so the
// waits are never too short.
constexpr int kSlowestBaud = 4800;
}  // namespace

int64_t characterMicros(int baudRate, LineSettings line) {
    const int parityBits = parityOf(line) == Parity::None ? 0 : 1;
    const int stopBits = stopBitsOf(line) == StopBits::Two ? 2 : 1;
    const int64_t bits = 1 + 8 + parityBits + stopBits;
    const int64_t baud = baudRate > 0 ? baudRate : kSlowestBaud;
    return (bits * 1'000'000 + baud - 1) / baud;
}

int64_t frameGapMicros(int baudRate, LineSettings line) { return (characterMicros(baudRate, line) * 7 + 1) / 2; }

int frameGapMs(int baudRate, LineSettings line) {
    return static_cast<int>((frameGapMicros(baudRate, line) + 999) / 1000);
}

int answerSilenceMs(int baudRate, LineSettings line) { return frameGapMs(baudRate, line) + 1; }

}  // namespace gaugemon::link
