#pragma once
#include <cstddef>
#include <cstdint>

#include "link/serial_port.h"

namespace gaugemon::sim {

// One character on the line: a start bit, 8 data bits, the parity bit when
// there is one, and one or two stop bits.
int bitsPerCharacter(link::LineSettings line);
// Microseconds one character takes at `baudRate`.
int64_t characterTimeUs(int baudRate, link::LineSettings line);
// Microseconds `count` characters take, back to back.
int64_t wireTimeUs(size_t count, int baudRate, link::LineSettings line);
// The silence that ends a Modbus RTU frame: 3.5 characters, but at least
// 1750 us, the fixed value above 19200 baud.
int64_t frameGapUs(int baudRate, link::LineSettings line);

}  // namespace gaugemon::sim
