#pragma once
#include <cstdint>
#include <optional>

namespace gaugemon::core {

// When a timer started inside a tick falls due. It counts from the moment the
// tick was meant to run, not from when the event loop got round to it: waits
// are whole milliseconds and the loop wakes late, and counted from the late
// moment those bits would add up to a slower cycle. The moment each timer was
// meant for is carried along the chain of ticks, so a wake-up late in one
// tick can still be made up by a wait started in the next.
struct TimerDue {
    // When it would fire had no tick run late.
    int64_t meantNs = 0;
    // When it fires: the meant moment, or later where the wait would
    // otherwise be shorter than allowed.
    int64_t dueNs = 0;
};

// The most lateness a chain of ticks carries. After a longer stall (a
// dialog, a long file write) a chain goes on from this much before now.
inline constexpr int64_t kMaxCatchUpNs = 15'000'000;

// `tickMeantNs` is when the running tick was meant to run, nothing outside a
// tick (a timer started then counts from now). The wait from now is never
// shorter than `shortestWaitNs`.
TimerDue timerDue(std::optional<int64_t> tickMeantNs, int64_t nowNs, int64_t periodNs, int64_t shortestWaitNs);

}  // namespace gaugemon::core
