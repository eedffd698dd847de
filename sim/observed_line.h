#pragma once
#include <termios.h>

#include "sim/master_line.h"

namespace gaugemon::sim {

// The master's line as the far side of a Linux pseudo-terminal shows it. The
// kernel keeps the baud rate, the two-stop-bits flag and the odd-parity flag
// the station set, but clears the parity-enable flag, so:
//   - with parity enable visible (other kernels), the parity is known;
//   - two stop bits: no parity (the station uses two stop bits only then);
//   - the odd flag: odd, or no parity (the flag may linger from an odd setting);
//   - neither: even, or no parity with one stop bit.
// Discovery tries no parity with two stop bits first, then odd, then even, so
// each parity is still found at its own combination.
MasterLine observedLine(tcflag_t controlFlags, speed_t speed);

// The baud rate of a termios speed code, 0 for one the instrument never uses.
int baudRateOfSpeed(speed_t speed);
speed_t speedOfBaudRate(int baudRate);

}  // namespace gaugemon::sim
