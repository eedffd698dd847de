#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sim/instrument_config.h"

namespace gaugemon::sim {

// What the gaugesim command line asks for.
struct SimOptions {
    InstrumentConfig instrument;
    std::string portName = "COM3";
    std::filesystem::path portDirectory;  // empty: the station's default
    bool replaceLink = false;             // take over an entry that is already there
    bool trace = false;
    int64_t footSwitchEveryMs = 0;  // 0: only by key
    bool help = false;
};

struct ParsedOptions {
    SimOptions options;
    std::string error;  // empty when the command line is usable
};

// Parses the arguments after the program name. Probes without a --signal of
// their own get a slow sine each, with staggered periods, so the chart moves.
ParsedOptions parseOptions(const std::vector<std::string_view>& args);
std::string usageText();

// "COM3", "com3" and "\\.\COM3" give "COM3"; empty for anything else.
std::string canonicalPortName(std::string_view name);

// The station's port directory: ~/.local/share/gaugemon/ports.
std::filesystem::path defaultPortDirectory();

}  // namespace gaugemon::sim
