#pragma once
#include <cstdint>

#include "core/timer_schedule.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"

namespace gaugemon::records {

// Holds the link's watchdog (timer 4) while a long step of the records runs
// (a file write, the workpiece-code dialog), so that the step is not taken
// for silence of the instrument, and gives it its full period back at the
// end. A watchdog that had already expired is left alone: it has told the
// operator the line is lost, and arming it again would tell the same loss
// once more. One that readings re-armed during the step and that then
// expired is left alone for the same reason.
class WatchdogHold {
public:
    WatchdogHold(core::TimerSchedule& timers, const RecordSources& sources, const ReadingWatch& watch);
    ~WatchdogHold() { release(); }
    WatchdogHold(const WatchdogHold&) = delete;
    WatchdogHold& operator=(const WatchdogHold&) = delete;

    // Ends the hold before the end of the scope; later calls do nothing.
    void release();

private:
    core::TimerSchedule& timers_;
    const RecordSources& sources_;
    const ReadingWatch& watch_;
    const bool wasCounting_;
    const uint64_t readingsAtStart_;
    bool released_ = false;
};

}  // namespace gaugemon::records
