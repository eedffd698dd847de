#pragma once
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "core/kernel_timer.h"
#include "core/timer_schedule.h"

namespace gaugemon::core {

// Window timers on one timer of the kernel, watched by the event loop: a
// start, a stop and a tick set that timer again and allocate nothing, where
// the event loop's own timers allocate on every start. Precise to the
// microsecond, since the polling cycle is paced by them. Where the kernel's
// timer cannot be had, each id runs on a QTimer instead.
//
// A timer started inside a tick counts from the moment that tick was meant to
// run, not from the moment it ran (timerDue): start() makes up at most
// kMaxShortenedWaitNs of a late wake-up, startMakingUp() as much as its
// shortest wait allows.
class QtTimerSchedule : public TimerSchedule {
public:
    // Window timers are the fallback; chosen here, they can be tested.
    enum class Backing : uint8_t { KernelTimer, WindowTimers };
    explicit QtTimerSchedule(Backing backing = Backing::KernelTimer);
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
    void fireDue(int id);

    // The fallback: one window timer per id, made only when the kernel's
    // timer cannot be had.
    std::array<std::unique_ptr<QTimer>, kMaxId + 1> timers_{};
    std::array<bool, kMaxId + 1> running_{};
    std::array<int, kMaxId + 1> periodsMs_{};
    // When each running timer was meant to fire next (TimerDue).
    std::array<int64_t, kMaxId + 1> meantNs_{};
    // When each running timer fires next on the kernel's timer; 0 while it
    // is stopped or inside its own tick.
    std::array<int64_t, kMaxId + 1> dueNs_{};
    // Counts each start and stop of a timer: a tick that did neither leaves
    // its timer repeating.
    std::array<uint64_t, kMaxId + 1> changes_{};
    // When the tick now running was meant to run; nothing outside a tick.
    std::optional<int64_t> tickMeantNs_;
    // Set for the earliest due moment; made at the first start.
    bool kernelTimerTried_ = false;
    bool kernelTimerWatched_ = false;
    KernelTimer kernelTimer_;
};

}  // namespace gaugemon::core
