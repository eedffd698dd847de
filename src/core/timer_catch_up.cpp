#include "core/timer_catch_up.h"

#include <algorithm>

namespace gaugemon::core {

TimerDue timerDue(std::optional<int64_t> tickMeantNs, int64_t nowNs, int64_t periodNs, int64_t shortestWaitNs) {
    // A tick that ran a little early (a wait rounded to the millisecond) keeps
    // its schedule too; one meant for much later than now cannot be.
    const int64_t from = tickMeantNs ? std::clamp(*tickMeantNs, nowNs - kMaxCatchUpNs, nowNs + kMaxCatchUpNs) : nowNs;
    const int64_t meant = from + periodNs;
    return {meant, std::max(meant, nowNs + shortestWaitNs)};
}

}  // namespace gaugemon::core
