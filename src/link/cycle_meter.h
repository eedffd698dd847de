#pragma once
#include <cstdint>

namespace gaugemon::link {

// The poll cycle as it runs: the mean time from one request to the next over
// the last second or so. The schedule's own figure leaves out the gap after
// each answer, the work of the ticks and the timers' lateness, and fast
// polling has no fixed cycle at all.
class CycleMeter {
public:
    static constexpr int64_t kWindowMs = 1000;

    // A request went out at `nowMs` on the monotonic clock.
    void requestSent(int64_t nowMs) {
        if (windowStartMs_ < 0) {
            windowStartMs_ = nowMs;
            return;
        }
        ++intervals_;
        const int64_t elapsed = nowMs - windowStartMs_;
        if (elapsed < kWindowMs) return;
        cycleMs_ = static_cast<int32_t>((elapsed + intervals_ / 2) / intervals_);
        windowStartMs_ = nowMs;
        intervals_ = 0;
    }
    // The connection ended: the next one is measured afresh.
    void reset() { *this = CycleMeter{}; }
    // Whole milliseconds; 0 until a window has ended.
    int32_t cycleMs() const { return cycleMs_; }

private:
    int64_t windowStartMs_ = -1;
    int64_t intervals_ = 0;
    int32_t cycleMs_ = 0;
};

}  // namespace gaugemon::link
