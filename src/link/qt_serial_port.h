#pragma once
// The station's serial line is TtySerialPort; this name stays until the
// program and the benchmark use the new one.
#include "link/tty_serial_port.h"

namespace gaugemon::link {
using QtSerialPort = TtySerialPort;
}  // namespace gaugemon::link
