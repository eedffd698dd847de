#pragma once
// The serial port of the system the station is built for.
#ifdef _WIN32
#include "link/com_serial_port.h"
namespace gaugemon::link {
using SystemSerialPort = ComSerialPort;
}
#else
#include "link/tty_serial_port.h"
namespace gaugemon::link {
using SystemSerialPort = TtySerialPort;
}
#endif
