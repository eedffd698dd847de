#pragma once
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

#include "core/timer_schedule.h"

namespace gaugemon::core {

// Window timers on QTimer. Precise timers, since the polling cycle is paced by
// them to the millisecond.
//
// A timer started inside a tick counts from the moment that tick was meant to
// run, not from the moment it ran (timerDue): start() makes up at most
// kMaxShortenedWaitNs of a late wake-up, startMakingUp() as much as its
// shortest wait allows.
class QtTimerSchedule : public TimerSchedule {
public:
    QtTimerSchedule();
    ~QtTimerSchedule() override;
    QtTimerSchedule(const QtTimerSchedule&) = delete;
    QtTimerSchedule& operator=(const QtTimerSchedule&) = delete;

    void start(int id, int periodMs) override;
    void startMakingUp(int id, int periodMs, int shortestWaitMs) override;
    void stop(int id) override;
    bool isRunning(int id) const override;

    // How much shorter than its period start() lets a first wait be, to make
    // up a late wake-up.
    static constexpr int64_t kMaxShortenedWaitNs = 2'000'000;

private:
    void startFrom(int id, int periodMs, int64_t shortestWaitNs);
    void fire(int id);
    void runTick(int id, int64_t meantNs);

    std::array<QTimer*, kMaxId + 1> timers_{};
    std::array<int, kMaxId + 1> periodsMs_{};
    // When each running timer was meant to fire next (TimerDue).
    std::array<int64_t, kMaxId + 1> meantNs_{};
    // When the tick now running was meant to run; nothing outside a tick.
    std::optional<int64_t> tickMeantNs_;
};

}  // namespace gaugemon::core
