#pragma once
#include <memory>
#include <string>

#include "headless/command_line.h"
#include "headless/run_port_directory.h"
#include "link/port_directory.h"

namespace gaugemon::headless {

// Where the station looks its ports up. A device named on the command line
// by its path stands for COM1 of a port directory of this run's own (which
// goes with it), kept under <dataDirectory>run/, and the stored port is COM1
// for the run; else the operator's port directory.
struct PortChoice {
    std::unique_ptr<RunPortDirectory> directory;
    link::PortDirectory ports;
};

PortChoice choosePorts(const StartOptions& options, const std::string& dataDirectory);

// The port the command line gave, as an index of the port-name table (1 for
// a device path, which stands for COM1); nothing when none was given.
std::optional<unsigned> givenPortIndex(const StartOptions& options);

}  // namespace gaugemon::headless
