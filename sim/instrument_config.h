#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "link/serial_port.h"
#include "sim/faults.h"
#include "sim/probe_bank.h"
#include "sim/reading_encoding.h"

namespace gaugemon::sim {

// Everything a simulated instrument starts with. The defaults are a format
// "FF" instrument at address 1 with 8 probes standing still at 0, on
// 19200 baud, no parity, two stop bits.
struct InstrumentConfig {
    link::DataFormat format = link::DataFormat::FormatFF;
    uint8_t address = 1;  // 1..254
    // 1..255. Format "FF" reports it in one byte (counts above 60 test the
    // station's limit), format "01" as probes x 4 in a word (64 probes and
    // more give a word of 0x0100 or above).
    unsigned probeCount = 8;
    int baudRate = 19200;     // 4800, 9600, 19200, 38400 or 115200
    uint8_t parityCode = 0;   // 0 None, 1 Odd, 2 Even
    uint8_t twoStopBits = 1;  // with no parity: two stop bits
    // Format "FF" only: number the baud rates the alternative way.
    bool baudCodeVariant = false;
    // A UART checks only the first stop bit, so by default a master with one
    // stop bit more or less is understood. Strict instruments insist.
    bool strictStopBits = false;
    // Bits of the format-flags register besides bit 1, which always tells the
    // current format.
    uint8_t formatFlags = 0;
    NegativeEncoding negatives = NegativeEncoding::SignExtended;
    // Setup of probe k at index k; probes without one hold still at 0.
    std::vector<ProbeSetup> probes;
    // From the end of a request to the first byte of its answer.
    int64_t turnaroundUs = 3000;
    // How often maximum and minimum are sampled, and how long a noise value holds.
    int64_t samplePeriodMs = 10;
    uint64_t seed = 1;
    FaultSettings faults;
    // Received requests kept for inspection; the oldest go first.
    size_t logCapacity = 512;
};

// Empty when the configuration is usable, else what is wrong with it.
std::string validate(const InstrumentConfig& config);

// A probe that holds still at `levelUm` micrometres.
ProbeSetup constantProbe(double levelUm, bool fine = false);

}  // namespace gaugemon::sim
