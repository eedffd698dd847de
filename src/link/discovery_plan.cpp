#include "link/discovery_plan.h"

namespace gaugemon::link {

namespace {
constexpr unsigned kLastSweptPort = 15;
constexpr uint8_t kCombinationsPerPort = 15;
// The stored port is given longer than a port of the sweep.
constexpr int kStoredPortStepMs = 100;
constexpr int kStoredPortAnswerMs = 95;

struct Rate {
    uint8_t baudIndex;
    int stepMs;
    int answerMs;
};
// Baud rates in the order a swept port tries them, with the timer pair of each.
constexpr Rate kSweepRates[5] = {{2, 37, 35}, {3, 32, 30}, {1, 52, 50}, {4, 32, 30}, {0, 100, 95}};

// Each rate with no parity and two stop bits, then odd, then even.
LineSettings sweepLine(uint8_t combination) {
    switch (combination % 3) {
        case 0: return {0, 1};
        case 1: return {1, 0};
        default: return {2, 0};
    }
}
}  // namespace

void DiscoveryPlan::keepTo(unsigned portIndex) { keptPort_ = portIndex < kPortNameCount ? portIndex : 0; }

void DiscoveryPlan::begin(unsigned storedPort, uint8_t storedBaudIndex, DataFormat storedFormat,
                          LineSettings storedLine) {
    firstStep_ = true;
    combination_ = 0;
    step_ = {};
    step_.action = DiscoveryStep::Action::OpenPort;
    step_.portIndex = keptPort_ != 0 ? keptPort_ : storedPort;
    step_.format = storedFormat;
    step_.baudIndex = storedBaudIndex;
    step_.baud = kBaudTable[storedBaudIndex];
    step_.line = {storedLine.parityCode, 1};
    step_.stepMs = kStoredPortStepMs;
    step_.answerMs = kStoredPortAnswerMs;
}

void DiscoveryPlan::advance() {
    using Action = DiscoveryStep::Action;
    if (firstStep_) {
        firstStep_ = false;
        step_.format = DataFormat::FormatFF;
        openSweptPort(firstSwept());
        return;
    }
    switch (step_.action) {
        case Action::OpenPort:
        case Action::ChangeLine:
            if (combination_ + 1 < kCombinationsPerPort) {
                step_.action = Action::ChangeLine;
                combination(static_cast<uint8_t>(combination_ + 1));
            } else {
                openSweptPort(step_.portIndex + 1);
            }
            return;
        case Action::NextFormat:
            step_.format = DataFormat::Format01;
            openSweptPort(firstSwept());
            return;
        case Action::GiveUp: return;
    }
}

void DiscoveryPlan::portRefused() {
    if (firstStep_) {
        advance();
        return;
    }
    openSweptPort(step_.portIndex + 1);
}

void DiscoveryPlan::openSweptPort(unsigned portIndex) {
    if (portIndex > (keptPort_ != 0 ? keptPort_ : kLastSweptPort)) {
        step_.action =
            step_.format == DataFormat::FormatFF ? DiscoveryStep::Action::NextFormat : DiscoveryStep::Action::GiveUp;
        step_.stepMs = kDiscoveryStartMs;
        return;
    }
    step_.action = DiscoveryStep::Action::OpenPort;
    step_.portIndex = portIndex;
    combination(0);
}

void DiscoveryPlan::combination(uint8_t index) {
    combination_ = index;
    const Rate& rate = kSweepRates[(index / 3) % 5];
    step_.baudIndex = rate.baudIndex;
    step_.baud = kBaudTable[rate.baudIndex];
    step_.line = sweepLine(index);
    step_.stepMs = rate.stepMs;
    step_.answerMs = rate.answerMs;
}

}  // namespace gaugemon::link
