#pragma once
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

#include "core/timer_schedule.h"

namespace gaugemon::core {

// Window timers on QTimer. Precise timers, since the polling cycle is paced by
// them to the millisecond.
//
// A timer started inside a tick counts from the moment that tick was due, not
// from the moment it ran: the event loop wakes a little late and waits are
// whole milliseconds, and counted from the late moment those bits would add
// up to a slower poll cycle. Only small delays are made up; after a stall
// (a dialog, a long file write) a timer counts from now, as before.
class QtTimerSchedule : public TimerSchedule {
public:
    QtTimerSchedule();
    ~QtTimerSchedule() override;

    void start(int id, int periodMs) override;
    void stop(int id) override;
    bool isRunning(int id) const override;

    // The largest difference between when a tick was due and when it ran
    // that a timer it starts makes up.
    static constexpr int64_t kMaxCatchUpNs = 2'000'000;

private:
    void fire(int id);

    std::array<QTimer*, kMaxId + 1> timers_{};
    std::array<int, kMaxId + 1> periodsMs_{};
    // When each running timer is next due, on `clock_`.
    std::array<int64_t, kMaxId + 1> dueNs_{};
    // When the tick now running was due; nothing outside a tick.
    std::optional<int64_t> tickDueNs_;
    QElapsedTimer clock_;
};

}  // namespace gaugemon::core
