#include "plant/state_pacing.h"

#include <algorithm>

namespace gaugemon::plant {

bool StatePacing::offer(const StationStatus& status) {
    if (latest_ && latest_->sameStateAs(status)) return false;
    const bool news = !latest_ || !latest_->sameBesidesCounters(status);
    latest_ = status;
    if (news)
        news_ = true;
    else
        countersMoved_ = true;
    return news;
}

std::optional<StationStatus> StatePacing::take(Clock::time_point now) {
    if (!latest_ || now < nextDue()) return std::nullopt;
    lastSent_ = now;
    news_ = false;
    countersMoved_ = false;
    return latest_;
}

StatePacing::Clock::time_point StatePacing::nextDue() const {
    if (!latest_) return Clock::time_point::max();
    if (news_ || !lastSent_) return Clock::time_point{};
    const Clock::time_point repeat = *lastSent_ + kRepeat;
    return countersMoved_ ? std::min(repeat, *lastSent_ + kCountersGap) : repeat;
}

}  // namespace gaugemon::plant
