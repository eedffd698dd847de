#include "link/decode.h"

namespace gaugemon::link {

ChannelReading decodeReading(const uint8_t* raw4) {
    const uint8_t marker = raw4[0];
    ChannelReading reading;
    uint32_t top = 0;
    if (marker == 0xFF) {
        top = 0xFF;
    } else if (marker & 0x10) {
        reading.scaledBy5 = true;
    }
    const uint32_t bits = top << 24 | uint32_t{raw4[1]} << 16 | uint32_t{raw4[2]} << 8 | raw4[3];
    int64_t value = static_cast<int32_t>(bits);
    if (reading.scaledBy5) value *= 5;
    if (marker == 0x01 || marker == 0x11) value = -value;
    reading.value = static_cast<int32_t>(value);  // |value| < 2^24 * 5: always fits
    return reading;
}

void decodeReadings(LinkState& link) {
    // As many probes as the request asked for (see readingsRequest).
    const unsigned probes = clampProbeCount(link.probeCount);
    for (unsigned i = 0; i < probes; ++i) link.readings[i] = decodeReading(&link.rawReadings[4 * i]);
}

}  // namespace gaugemon::link
