#pragma once
#include <cstdint>
#include <optional>

#include "core/clock.h"
#include "link/link_state.h"

namespace gaugemon::records {

using link::kWatchdogMs;

// When the last valid reading of the connection arrived, on the monotonic
// clock. The value texts a row copies are only as new as that reading: once
// none has come for the watchdog period (instrument off, cable pulled, a
// flood of garbage), they are a frozen picture, not a measurement.
class ReadingWatch {
public:
    explicit ReadingWatch(const core::Clock& clock) : clock_(clock) {}

    // A connection was made: its first reading has the watchdog period to come.
    void start() { sinceMs_ = clock_.nowMs(); }
    void stop() { sinceMs_.reset(); }
    void noteReading() { sinceMs_ = clock_.nowMs(); }

    // Watching, and the last reading (or the connection) is younger than the
    // watchdog period.
    bool current() const { return sinceMs_ && clock_.nowMs() - *sinceMs_ < kWatchdogMs; }

private:
    const core::Clock& clock_;
    std::optional<int64_t> sinceMs_;
};

}  // namespace gaugemon::records
