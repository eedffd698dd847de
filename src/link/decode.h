#pragma once
#include <cstdint>

#include "link/link_state.h"

namespace gaugemon::link {

// Decodes one probe's 4 raw bytes: 0xFF in the first byte sign-extends a
// 24-bit two's-complement value; bit 0x10 marks a fine-resolution reading sent
// in 0.0005 mm (multiplied by 5 into 0.0001 mm); 0x01 and 0x11 mark a negative
// magnitude.
ChannelReading decodeReading(const uint8_t* raw4);

// Fills readings[0..probes-1] from rawReadings; slots beyond keep their values.
void decodeReadings(LinkState& link);

}  // namespace gaugemon::link
