#include "records/watchdog_hold.h"

namespace gaugemon::records {

WatchdogHold::WatchdogHold(core::TimerSchedule& timers, const RecordSources& sources, const ReadingWatch& watch)
    : timers_(timers),
      sources_(sources),
      watch_(watch),
      wasCounting_(timers.isRunning(core::timer::kWatchdog)),
      readingsAtStart_(watch.readings()) {
    timers_.stop(core::timer::kWatchdog);
}

void WatchdogHold::release() {
    if (released_) return;
    released_ = true;
    if (!sources_.connected()) return;
    // Polling goes on inside a dialog: a reading that arrived meanwhile
    // re-armed the watchdog itself; if it is not running now, it has expired
    // since and reported the silence.
    const bool rearmedMeanwhile = watch_.readings() != readingsAtStart_;
    const bool running = timers_.isRunning(core::timer::kWatchdog);
    if (running || (wasCounting_ && !rearmedMeanwhile)) timers_.start(core::timer::kWatchdog, kWatchdogMs);
}

}  // namespace gaugemon::records
