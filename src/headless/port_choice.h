#pragma once
#include <QTemporaryDir>
#include <memory>

#include "headless/command_line.h"
#include "link/port_directory.h"

namespace gaugemon::headless {

// Where the station looks its ports up. A device named on the command line
// by its path stands for COM1 of a port directory of this run's own (which
// goes with it), and the stored port is COM1 for the run, so that the search
// tries it first; else the operator's port directory.
struct PortChoice {
    std::unique_ptr<QTemporaryDir> directory;
    link::PortDirectory ports;
};

PortChoice choosePorts(const StartOptions& options);

}  // namespace gaugemon::headless
