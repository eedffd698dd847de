#include "core/qt_timer_schedule.h"

#include <algorithm>

namespace gaugemon::core {

QtTimerSchedule::QtTimerSchedule() {
    for (int id = 0; id <= kMaxId; ++id) {
        auto* timer = new QTimer();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [this, id] { tick(id); });
        timers_[id] = timer;
    }
}

QtTimerSchedule::~QtTimerSchedule() {
    for (QTimer* timer : timers_) delete timer;
}

void QtTimerSchedule::start(int id, int periodMs) {
    if (id < 0 || id > kMaxId) return;
    timers_[id]->start(std::max(periodMs, 1));
}

void QtTimerSchedule::stop(int id) {
    if (id >= 0 && id <= kMaxId) timers_[id]->stop();
}

bool QtTimerSchedule::isRunning(int id) const { return id >= 0 && id <= kMaxId && timers_[id]->isActive(); }

}  // namespace gaugemon::core
