#pragma once
#include <array>
#include <cstdint>

#include "link/link_state.h"
#include "link/protocol.h"

namespace gaugemon::link {

// Every request is one 8-byte frame: address, function, two 16-bit fields
// (big-endian) and the CRC, low byte first.
using RequestFrame = std::array<uint8_t, 8>;

void buildFrame(RequestFrame& frame, uint8_t address, uint8_t function, uint16_t reg, uint16_t field);

RequestFrame deviceInfoQuery(DataFormat format);
// Asks for the readings of `probes` probes, kept within 1..60.
RequestFrame readingsRequest(uint8_t address, unsigned probes);
RequestFrame formatFlagsRead(uint8_t address);
RequestFrame unlockWrite(uint8_t address);
RequestFrame addressWrite(DataFormat format, uint8_t address, uint8_t newAddress);
RequestFrame baudWrite01(uint8_t address, uint8_t baudCode01);
RequestFrame parityWrite01(uint8_t address, uint8_t parityCode);
RequestFrame serialSettingsWriteFF(uint8_t address, uint8_t twoStopBits, uint8_t parityCode, uint8_t baudCode);
RequestFrame formatFlagsWrite(uint8_t address, uint8_t flags);
RequestFrame displayModeWrite(uint8_t address, uint8_t modeIndex);

// Zero commands. `channel` 0..59 zeroes one probe; kZeroAllChannels zeroes all.
constexpr uint8_t kZeroAllChannels = 0xFF;
RequestFrame zeroRequest(DataFormat format, uint8_t address, uint8_t channel, bool singleProbeDevice);

// Expected answer length of a readings request for `probes` probes (1..60,
// as the request is).
constexpr unsigned readingsAnswerLength(unsigned probes) { return 4 * clampProbeCount(probes) + 5; }

}  // namespace gaugemon::link
