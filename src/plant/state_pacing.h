#pragma once
#include <chrono>
#include <optional>

#include "plant/station_status.h"

namespace gaugemon::plant {

// When the retained state goes out: at once when the link, the instrument
// or the station's own state changes; when only the backlog and the cycle
// moved (with every row), at most every 10 s; and every 30 s in any case,
// so that a consumer tells a stale state by its age. Times come from the
// caller.
class StatePacing {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kRepeat = std::chrono::seconds(30);
    static constexpr auto kCountersGap = std::chrono::seconds(10);

    // The station's status now; true when it is news that goes out at once.
    bool offer(const StationStatus& status);
    // The state to send at `now`, if one is due; it counts as sent then.
    std::optional<StationStatus> take(Clock::time_point now);
    // When take gives the next one: the clock's epoch for at once, max
    // while nothing was offered.
    Clock::time_point nextDue() const;
    // A new connection to the broker: the state goes out at once.
    void sendAgain() { news_ = true; }

private:
    std::optional<StationStatus> latest_;
    std::optional<Clock::time_point> lastSent_;
    bool news_ = false;
    bool countersMoved_ = false;
};

}  // namespace gaugemon::plant
