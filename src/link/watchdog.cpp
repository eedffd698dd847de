#include "link/watchdog.h"

namespace gaugemon::link {

WatchdogPause::WatchdogPause(Watchdog& watchdog)
    : watchdog_(watchdog), wasCounting_(watchdog.counting()), rearmsAtStart_(watchdog.rearms_) {
    watchdog_.stop();
}

void WatchdogPause::release() {
    if (released_) return;
    released_ = true;
    if (!watchdog_.state_.connected) return;
    // Polling goes on inside a dialog: an answer that arrived meanwhile
    // re-armed the watchdog itself; if it is not running now, it has expired
    // since and reported the silence.
    const bool rearmedMeanwhile = watchdog_.rearms_ != rearmsAtStart_;
    if (watchdog_.counting() || (wasCounting_ && !rearmedMeanwhile))
        watchdog_.timers_.start(core::timer::kWatchdog, kWatchdogMs);
}

}  // namespace gaugemon::link
