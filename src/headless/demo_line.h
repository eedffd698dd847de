#pragma once
#include "core/clock.h"
#include "link/serial_port.h"
#include "sim/instrument_config.h"
#include "sim/simulated_ports.h"

namespace gaugemon::headless {

// The station without hardware (--demo): the simulator's instrument inside
// the program, behind the serial port the station talks to, on COM3. Its
// probes move, so a person trying the station sees it measure at once.
class DemoLine {
public:
    explicit DemoLine(const core::Clock& clock);
    link::SerialPort& port() { return line_; }

    static constexpr unsigned kPortIndex = 3;
    static constexpr const char* kPortName = "COM3";

private:
    sim::SimulatedPorts ports_;
    sim::SimulatedLine line_;
};

// Eight probes near 4 mm, slowly swinging and with a little noise; the last
// one wanders past the default upper limit now and then, so a part turns NG.
sim::InstrumentConfig demoInstrument();

}  // namespace gaugemon::headless
