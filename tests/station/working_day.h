#pragma once
#include <cstdint>
#include <string>

#include "sim/instrument_config.h"

namespace gaugemon::testing {

// A working day in miniature, run alike through the station alone and
// through the window: eight probes on COM3 at format "FF", one manual row,
// two automatic rows at 0.5 s, then Save as a tab-separated file.
struct WorkingDay {
    static sim::InstrumentConfig instrument() {
        sim::InstrumentConfig config;
        for (unsigned k = 0; k < 8; ++k) config.probes.push_back(sim::constantProbe(3990.0 + 7.0 * k));
        // Probe 8 lies beyond the default upper limit of 6.000 mm: the rows say NG.
        config.probes[7] = sim::constantProbe(6012.0);
        return config;
    }
    static constexpr const char* kPort = "COM3";
    static constexpr int32_t kComId = 3;
    static constexpr float kAutoPeriodSeconds = 0.5f;
    // The file every path must write, byte for byte (the virtual clock starts
    // at 2019-11-29 13:52:30).
    static std::string expectedExport();

    // The same day with two characteristics: a diameter over two opposed
    // probes and a runout over seven, recorded after the probes.
    static constexpr const char* kCharacteristics =
        "Dia; 3; 24.990; 25.010; p1 + p2 + 17.010\n"
        "Runout; 4; 0; 0.050; range(p1..p7)\n";
    // The file of that day with `extension` (".xls", ".dfq", ".utf8.csv"), or
    // the cells a spreadsheet reader finds in its workbook (".xlsx.cells").
    static std::string expectedExportWithCharacteristics(const std::string& extension = ".xls");
};

}  // namespace gaugemon::testing
