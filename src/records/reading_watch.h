#pragma once
#include <cstdint>

#include "link/link_state.h"

namespace gaugemon::records {

// The silence after which the link tells of a lost instrument.
using link::kWatchdogMs;

// How many poll cycles old the readings shown are. A row copies them only
// while they are at most two cycles old, so that one answer lost on a noisy
// line neither skips a row nor tells the operator of a silence; once an
// instrument falls silent (switched off, cable pulled, a flood of garbage)
// they are a frozen picture, not a measurement, however fast rows are asked
// for and long before the watchdog tells of the silence.
class ReadingWatch {
public:
    // A connection was made: its readings are awaited from its first request.
    void start() {
        watching_ = true;
        cycles_ = 0;
    }
    void stop() { watching_ = false; }
    // A request went out: a poll cycle began.
    void noteRequest() {
        if (cycles_ < UINT32_MAX) ++cycles_;
    }
    // The request was a command and the instrument answered it: its cycle
    // asked for no readings, so it ages them by nothing. Only a count that
    // goes up with every request undoes just that cycle: a long silence stays
    // long when a command is answered at its end.
    void noteCommandAnswered() {
        if (cycles_ > 0) --cycles_;
    }
    void noteReading() { cycles_ = 0; }

    // Watching, and the readings are at most two poll cycles old.
    bool current() const { return watching_ && cycles_ <= 2; }

private:
    bool watching_ = false;
    // Requests since the readings shown arrived, less the commands answered.
    uint32_t cycles_ = 0;
};

}  // namespace gaugemon::records
