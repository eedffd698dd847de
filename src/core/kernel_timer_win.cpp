// The kernel timer on Windows: a waitable timer, of high resolution where the
// system has one, watched by the event loop. It takes relative waits in
// 100-nanosecond units; the moments are on the performance counter.
#include <windows.h>

#include <QWinEventNotifier>
#include <algorithm>

#include "core/kernel_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerS = 1'000'000'000;
constexpr int64_t kNsPerTick = 100;

int64_t counterFrequency() {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}
}  // namespace

struct KernelTimer::Watch {
    HANDLE timer = nullptr;
    std::function<void()> onExpired;
    std::unique_ptr<QWinEventNotifier> notifier;
};

KernelTimer::KernelTimer() = default;

KernelTimer::~KernelTimer() {
    if (!watch_) return;
    watch_->notifier.reset();
    ::CancelWaitableTimer(watch_->timer);
    ::CloseHandle(watch_->timer);
}

bool KernelTimer::open(std::function<void()> onExpired) {
    // Older systems lack the high resolution; their timer keeps the
    // system's tick, still one timer for all.
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!timer) timer = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    if (!timer) return false;
    watch_ = std::make_unique<Watch>();
    watch_->timer = timer;
    watch_->onExpired = std::move(onExpired);
    watch_->notifier = std::make_unique<QWinEventNotifier>(timer);
    QObject::connect(watch_->notifier.get(), &QWinEventNotifier::activated, [watch = watch_.get()] {
        // The notifier waits again only once its signal returns; a tick's
        // nested event loop (a message box) must hear the timer meanwhile.
        watch->notifier->setEnabled(false);
        watch->notifier->setEnabled(true);
        watch->onExpired();
    });
    return true;
}

void KernelTimer::setDue(int64_t monotonicNs) {
    if (monotonicNs == 0) {
        ::CancelWaitableTimer(watch_->timer);
        return;
    }
    const int64_t waitNs = std::max<int64_t>(monotonicNs - now(), 0);
    LARGE_INTEGER due{};
    // Negative: a wait from now. At least one unit, or the timer would not fire.
    due.QuadPart = -std::max<int64_t>(waitNs / kNsPerTick, 1);
    ::SetWaitableTimer(watch_->timer, &due, 0, nullptr, nullptr, FALSE);
}

int64_t KernelTimer::now() {
    static const int64_t frequency = counterFrequency();
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    const int64_t c = counter.QuadPart;
    return (c / frequency) * kNsPerS + (c % frequency) * kNsPerS / frequency;
}

}  // namespace gaugemon::core
