#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace gaugemon::core {

// One timer of the kernel, watched by the thread's event loop: it wakes the
// loop at a moment of the monotonic clock, to the microsecond. Setting it
// again allocates nothing. Where the system has none, open() says so and the
// caller keeps to the event loop's own timers.
class KernelTimer {
public:
    KernelTimer();
    ~KernelTimer();
    KernelTimer(const KernelTimer&) = delete;
    KernelTimer& operator=(const KernelTimer&) = delete;

    // Makes the timer; `onExpired` runs in the event loop when it expires.
    bool open(std::function<void()> onExpired);
    // Due at `monotonicNs` (a moment of now()); 0 disarms it.
    void setDue(int64_t monotonicNs);
    // The clock the timer counts in, in nanoseconds.
    static int64_t now();

private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

}  // namespace gaugemon::core
