#pragma once
#include <cstdint>

namespace gaugemon::core {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds, for measuring; never goes back.
    virtual int64_t nowMs() const = 0;
    // Wall-clock local time, for time stamps and file names.
    virtual LocalDateTime localNow() const = 0;
};

}  // namespace gaugemon::core
