#include "sim/reading_encoding.h"

#include <algorithm>

namespace gaugemon::sim {

namespace {
constexpr uint8_t kPositive = 0x00;
constexpr uint8_t kNegative = 0x01;
constexpr uint8_t kFineMarker = 0x10;
constexpr uint8_t kSignExtension = 0xFF;

void putMagnitude(std::array<uint8_t, 4>& out, uint32_t bits24) {
    out[1] = static_cast<uint8_t>(bits24 >> 16);
    out[2] = static_cast<uint8_t>(bits24 >> 8);
    out[3] = static_cast<uint8_t>(bits24);
}
}  // namespace

std::array<uint8_t, 4> encodeReading(int32_t units, bool fine, NegativeEncoding negatives, unsigned probeIndex) {
    const int32_t value = std::clamp(units, -kMaxReadingMagnitude, kMaxReadingMagnitude);
    std::array<uint8_t, 4> out{};
    const uint8_t fineBit = fine ? kFineMarker : 0;
    if (value >= 0) {
        out[0] = static_cast<uint8_t>(kPositive | fineBit);
        putMagnitude(out, static_cast<uint32_t>(value));
        return out;
    }
    const bool signExtend = !fine && (negatives == NegativeEncoding::SignExtended ||
                                      (negatives == NegativeEncoding::Alternating && probeIndex % 2 == 0));
    if (signExtend) {
        out[0] = kSignExtension;
        putMagnitude(out, static_cast<uint32_t>(value) & 0xFFFFFF);
    } else {
        out[0] = static_cast<uint8_t>(kNegative | fineBit);
        putMagnitude(out, static_cast<uint32_t>(-value));
    }
    return out;
}

int32_t stationCounts(int32_t units, bool fine) {
    const int32_t value = std::clamp(units, -kMaxReadingMagnitude, kMaxReadingMagnitude);
    return fine ? value * 5 : value;
}

}  // namespace gaugemon::sim
