#pragma once
#include <cstdint>

#include "core/timer_schedule.h"
#include "link/link_state.h"

namespace gaugemon::link {

// The link's watchdog, timer 4: every valid answer gives it its full period
// again, and when it fires the line counts as lost. Long steps elsewhere in
// the station (a file write, a modal dialog) pause it through a
// WatchdogPause, so that the step is not taken for silence of the instrument.
class Watchdog {
public:
    Watchdog(core::TimerSchedule& timers, const LinkState& state) : timers_(timers), state_(state) {}

    // A valid answer arrived.
    void rearm() {
        timers_.start(core::timer::kWatchdog, kWatchdogMs);
        ++rearms_;
        expired_ = false;
    }
    void stop() { timers_.stop(core::timer::kWatchdog); }
    bool counting() const { return timers_.isRunning(core::timer::kWatchdog); }
    // The period ran out: the line counts as lost until the next valid answer.
    void expire() {
        stop();
        expired_ = true;
    }
    bool expired() const { return expired_; }

private:
    friend class WatchdogPause;
    core::TimerSchedule& timers_;
    const LinkState& state_;
    uint64_t rearms_ = 0;
    bool expired_ = false;
};

// Holds the watchdog for the scope of a long step and gives it its full
// period back at the end. A watchdog that had already expired is left alone:
// it has told the operator the line is lost, and arming it again would tell
// the same loss once more. One that answers re-armed during the step and that
// then expired is left alone for the same reason.
class WatchdogPause {
public:
    explicit WatchdogPause(Watchdog& watchdog);
    ~WatchdogPause() { release(); }
    WatchdogPause(const WatchdogPause&) = delete;
    WatchdogPause& operator=(const WatchdogPause&) = delete;

    // Ends the pause before the end of the scope; later calls do nothing.
    void release();

private:
    Watchdog& watchdog_;
    const bool wasCounting_;
    const uint64_t rearmsAtStart_;
    bool released_ = false;
};

}  // namespace gaugemon::link
