#include "sim/instrument_config.h"

#include "sim/baud_codes.h"

namespace gaugemon::sim {

std::string validate(const InstrumentConfig& config) {
    if (config.format != link::DataFormat::Format01 && config.format != link::DataFormat::FormatFF) {
        return "the data format must be \"01\" or \"FF\"";
    }
    if (config.address < 1 || config.address > 254) return "the address must lie within 1..254";
    if (config.probeCount < 1 || config.probeCount > 255) return "the probe count must lie within 1..255";
    if (!isInstrumentBaudRate(config.baudRate)) return "the baud rate must be 4800, 9600, 19200, 38400 or 115200";
    if (config.parityCode > 2) return "the parity code must be 0 (none), 1 (odd) or 2 (even)";
    if (config.turnaroundUs < 0) return "the turnaround must not be negative";
    if (config.samplePeriodMs < 1) return "the sample period must be at least 1 ms";
    if (config.probes.size() > config.probeCount) return "more probe setups than probes";
    for (size_t k = 0; k < kFaultKindCount; ++k) {
        const double rate = config.faults.plans[k].rate;
        if (!(rate >= 0.0 && rate <= 1.0)) return "a fault rate must lie within 0..1";
    }
    return {};
}

ProbeSetup constantProbe(double levelUm, bool fine) {
    ProbeSetup setup;
    setup.signal.kind = SignalKind::Constant;
    setup.signal.levelUm = levelUm;
    setup.fine = fine;
    return setup;
}

}  // namespace gaugemon::sim
