#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/clock.h"
#include "core/timer_schedule.h"

namespace gaugemon::core {

class VirtualTimerSchedule;

// Virtual time for tests: a clock that moves only when told, firing the due
// timers of every attached schedule in time order, one at a time. A tick may
// advance time itself (a modal dialog in a test), which fires the ticks that
// fall due meanwhile nested inside it, as a nested message loop does. As with
// the platform's timers, a timer is not fired again inside its own tick: its
// expiries pass unseen until the tick returns, unless the tick (or one nested
// in it) started the timer anew.
class VirtualTime : public core::Clock {
public:
    explicit VirtualTime(core::LocalDateTime start = {2019, 11, 29, 13, 52, 30});

    int64_t nowMs() const override { return now_; }
    core::LocalDateTime localNow() const override;

    void advanceBy(int64_t ms) { advanceTo(now_ + ms); }
    void advanceTo(int64_t target);
    // Advances in timer order until `done` holds or `limitMs` has passed;
    // returns whether `done` held.
    bool runUntil(const std::function<bool()>& done, int64_t limitMs);

private:
    friend class VirtualTimerSchedule;
    struct Due {
        VirtualTimerSchedule* schedule = nullptr;
        int id = 0;
        int64_t at = 0;
    };
    bool nextDue(int64_t notAfter, Due& due) const;
    uint64_t nextSequence() { return ++sequence_; }

    int64_t now_ = 0;
    uint64_t sequence_ = 0;
    int64_t startSeconds_ = 0;  // local time at now_ == 0, in seconds since 1970
    std::vector<VirtualTimerSchedule*> schedules_;
};

class VirtualTimerSchedule : public core::TimerSchedule {
public:
    explicit VirtualTimerSchedule(VirtualTime& time);
    ~VirtualTimerSchedule() override;

    void start(int id, int periodMs) override;
    void stop(int id) override;
    bool isRunning(int id) const override;
    int periodOf(int id) const;
    // Milliseconds until `id` fires next, or -1 when it is stopped.
    int64_t remainingMs(int id) const;

private:
    friend class VirtualTime;
    struct Slot {
        bool running = false;
        int periodMs = 0;
        int64_t dueAt = 0;
        uint64_t sequence = 0;  // orders timers falling due at the same moment
        uint64_t started = 0;   // tells this start of the timer from earlier ones
        uint64_t ticking = 0;   // the start whose tick is running, 0 when none
    };
    void fire(int id);

    VirtualTime& time_;
    std::array<Slot, kMaxId + 1> slots_{};
};

}  // namespace gaugemon::core
