#pragma once
#include <QTimer>
#include <array>

#include "core/timer_schedule.h"

namespace gaugemon::core {

// Window timers on QTimer. Precise timers, since the polling cycle is paced by
// them to the millisecond.
class QtTimerSchedule : public TimerSchedule {
public:
    QtTimerSchedule();
    ~QtTimerSchedule() override;

    void start(int id, int periodMs) override;
    void stop(int id) override;
    bool isRunning(int id) const override;

private:
    std::array<QTimer*, kMaxId + 1> timers_{};
};

}  // namespace gaugemon::core
