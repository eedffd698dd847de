#pragma once
#include <cstdint>
#include <optional>

#include "link/protocol.h"

namespace gaugemon::sim {

// The instrument's baud-rate codes, as it reports and accepts them.
//   format "FF":             0 4800, 1 9600, 2 19200, 3 38400, 4 115200
//   format "FF", variant:    0 115200, 1 9600, 2 19200, 3 4800, 4 38400
//   format "01":             0 9600, 1 19200, 2 38400, 3 4800, 4 115200
// Some format "FF" instruments number their rates the variant way; the
// station recognises them when one answers at 115200 reporting code 0.
std::optional<uint8_t> baudCodeOf(link::DataFormat format, bool variant, int baudRate);
std::optional<int> baudRateOf(link::DataFormat format, bool variant, uint8_t code);
bool isInstrumentBaudRate(int baudRate);

}  // namespace gaugemon::sim
