#pragma once
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/timer_schedule.h"

class QSocketNotifier;

namespace gaugemon::core {

// Window timers on QTimer. Precise timers, since the polling cycle is paced by
// them to the millisecond.
//
// A timer started inside a tick counts from the moment that tick was meant to
// run, not from the moment it ran (timerDue): start() makes up at most
// kMaxShortenedWaitNs of a late wake-up, startMakingUp() as much as its
// shortest wait allows. The event loop's own timers wait whole milliseconds;
// a start in microseconds waits on a timer of the kernel instead.
class QtTimerSchedule : public TimerSchedule {
public:
    QtTimerSchedule();
    ~QtTimerSchedule() override;
    QtTimerSchedule(const QtTimerSchedule&) = delete;
    QtTimerSchedule& operator=(const QtTimerSchedule&) = delete;

    void start(int id, int periodMs) override;
    void startMakingUp(int id, int periodMs, int shortestWaitMs) override;
    void startInMicros(int id, int64_t firstWaitUs) override;
    void stop(int id) override;
    bool isRunning(int id) const override;

    // How much shorter than its period start() lets a first wait be, to make
    // up a late wake-up.
    static constexpr int64_t kMaxShortenedWaitNs = 2'000'000;

private:
    void startFrom(int id, int periodMs, int64_t shortestWaitNs);
    void fire(int id);
    void runTick(int id, int64_t meantNs);
    bool watchKernelTimer();
    void armKernelTimer();
    void kernelTimerExpired();

    std::array<QTimer*, kMaxId + 1> timers_{};
    std::array<int, kMaxId + 1> periodsMs_{};
    // When each running timer was meant to fire next (TimerDue).
    std::array<int64_t, kMaxId + 1> meantNs_{};
    // Counts each start and stop of a timer: a tick that did neither leaves
    // its timer repeating.
    std::array<uint64_t, kMaxId + 1> changes_{};
    // When the tick now running was meant to run; nothing outside a tick.
    std::optional<int64_t> tickMeantNs_;
    // Timers started in microseconds wait for their first expiry here, each
    // with its moment (0 for none); the kernel's timer is set for the
    // earliest. Made at the first such start.
    std::array<int64_t, kMaxId + 1> kernelDueNs_{};
    int kernelTimer_ = -1;
    std::unique_ptr<QSocketNotifier> kernelTimerNotifier_;
};

}  // namespace gaugemon::core
