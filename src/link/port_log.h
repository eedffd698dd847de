#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/serial_port.h"

namespace gaugemon::link {

// The text of a port's failure, "<port>: <detail>", logged as it is made: a
// missing port is the common case of a discovery sweep, not worth a warning.
std::string reportPortFailure(PortFailure failure, const std::string& name, const std::string& device,
                              const std::string& detail);

// One line of the frame trace. Only called with the trace on: it formats and allocates.
void traceBytes(const std::string& port, const char* direction, const uint8_t* bytes, size_t count, const char* note);

}  // namespace gaugemon::link
