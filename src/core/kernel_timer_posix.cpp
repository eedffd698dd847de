// The kernel timer on Linux: a timerfd on the monotonic clock, set to an
// absolute moment.
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "core/kernel_timer.h"

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerS = 1'000'000'000;
}

struct KernelTimer::Watch {
    int fd = -1;
    std::function<void()> onExpired;
    std::unique_ptr<QSocketNotifier> notifier;
};

KernelTimer::KernelTimer() = default;

KernelTimer::~KernelTimer() {
    if (!watch_) return;
    // The descriptor leaves the event loop before it is closed.
    watch_->notifier.reset();
    ::close(watch_->fd);
}

bool KernelTimer::open(std::function<void()> onExpired) {
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0) return false;
    watch_ = std::make_unique<Watch>();
    watch_->fd = fd;
    watch_->onExpired = std::move(onExpired);
    watch_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(watch_->notifier.get(), &QSocketNotifier::activated, [watch = watch_.get()] {
        uint64_t expirations = 0;
        // Read to quiet the descriptor; what it counts does not matter.
        [[maybe_unused]] const ssize_t got = ::read(watch->fd, &expirations, sizeof expirations);
        watch->onExpired();
    });
    return true;
}

void KernelTimer::setDue(int64_t monotonicNs) {
    // A zero moment disarms it, so the loop is not woken for nothing.
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(monotonicNs / kNsPerS);
    setting.it_value.tv_nsec = static_cast<long>(monotonicNs % kNsPerS);
    ::timerfd_settime(watch_->fd, TFD_TIMER_ABSTIME, &setting, nullptr);
}

int64_t KernelTimer::now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNsPerS + now.tv_nsec;
}

}  // namespace gaugemon::core
