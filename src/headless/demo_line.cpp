#include "headless/demo_line.h"

namespace gaugemon::headless {

namespace {
constexpr unsigned kDemoProbes = 8;
constexpr double kFirstLevelUm = 3990.0;
constexpr double kLevelStepUm = 7.0;
constexpr double kSwingUm = 4.0;
constexpr int64_t kFirstPeriodMs = 4000;
constexpr int64_t kPeriodStepMs = 700;
// Past the default upper limit of 6.000 mm at the top of its swing.
constexpr double kWandererLevelUm = 5990.0;
constexpr double kWandererSwingUm = 25.0;
}  // namespace

sim::InstrumentConfig demoInstrument() {
    sim::InstrumentConfig config;
    config.probeCount = kDemoProbes;
    for (unsigned k = 0; k < kDemoProbes; ++k) {
        sim::ProbeSetup probe;
        probe.signal.kind = k % 3 == 2 ? sim::SignalKind::Noise : sim::SignalKind::Sine;
        probe.signal.levelUm = kFirstLevelUm + kLevelStepUm * k;
        probe.signal.amplitudeUm = kSwingUm;
        probe.signal.periodMs = kFirstPeriodMs + kPeriodStepMs * k;
        config.probes.push_back(probe);
    }
    sim::Signal& wanderer = config.probes.back().signal;
    wanderer.kind = sim::SignalKind::Sine;
    wanderer.levelUm = kWandererLevelUm;
    wanderer.amplitudeUm = kWandererSwingUm;
    return config;
}

DemoLine::DemoLine(const core::Clock& clock) : ports_(clock), line_(ports_) {
    ports_.place(kPortName, demoInstrument());
}

}  // namespace gaugemon::headless
