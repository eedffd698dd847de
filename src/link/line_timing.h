#pragma once
#include <cstdint>

#include "link/serial_port.h"

namespace gaugemon::link {

// Microseconds one character takes on the line: a start bit, 8 data bits,
// the parity bit when there is one, and one or two stop bits.
int64_t characterMicros(int baudRate, LineSettings line);

// The line's minimum gap between frames, 3.5 characters, rounded up: the
// shortest wait before the next request.
int64_t frameGapMicros(int baudRate, LineSettings line);
// The same in whole milliseconds, rounded up.
int frameGapMs(int baudRate, LineSettings line);

// The silence after which an answer counts as ended. One millisecond over
// the frame gap: drivers and USB adapters hand the bytes of one frame over in
// pieces up to a millisecond apart.
int answerSilenceMs(int baudRate, LineSettings line);

}  // namespace gaugemon::link
