#pragma once
#include <cstdint>

#include "link/protocol.h"
#include "link/serial_port.h"

namespace gaugemon::link {

// Delay of the first discovery step after Connect, and of the format "01"
// sweep after the format "FF" one.
inline constexpr int kDiscoveryStartMs = 20;

// One step of discovery: what to do with the port, and the timer pair that
// reads the answer (timer 2) and moves on to the next step (timer 5).
struct DiscoveryStep {
    enum class Action : uint8_t {
        OpenPort,    // close what is open, open `portIndex` at `baud`, ask
        ChangeLine,  // the port stays open: new baud rate and line, ask
        NextFormat,  // the format "FF" sweep is over: the "01" one starts after `stepMs`
        GiveUp,      // every port in both formats tried
    };
    Action action = Action::OpenPort;
    unsigned portIndex = 1;
    DataFormat format = DataFormat::FormatFF;
    int baud = 0;
    uint8_t baudIndex = 0;  // into kBaudTable
    LineSettings line{};
    int stepMs = 0;    // timer 5
    int answerMs = 0;  // timer 2; unused by NextFormat and GiveUp
};

// The order in which discovery asks for the instrument: the port and baud
// rate of the last connection first, then ports 1..15 each with five baud
// rates and three parities in format "FF", then the same in format "01".
// Kept to one port, the plan asks on that port alone, in both formats.
// Plain state, walked by the link controller's timer 5.
class DiscoveryPlan {
public:
    // From the next Connect on, only `portIndex` (1..16) is asked; 0 sweeps all.
    void keepTo(unsigned portIndex);
    unsigned keptPort() const { return keptPort_; }
    // Connect: the first step is the stored port in the stored format.
    void begin(unsigned storedPort, uint8_t storedBaudIndex, DataFormat storedFormat, LineSettings storedLine);
    const DiscoveryStep& step() const { return step_; }
    // The step was taken: on to the next one.
    void advance();
    // The port of an OpenPort step would not open: on to the next port.
    void portRefused();

private:
    void openSweptPort(unsigned portIndex);
    void combination(uint8_t index);

    unsigned firstSwept() const { return keptPort_ != 0 ? keptPort_ : 1; }

    DiscoveryStep step_{};
    unsigned keptPort_ = 0;
    bool firstStep_ = true;
    uint8_t combination_ = 0;  // 0..14 on a swept port
};

}  // namespace gaugemon::link
