#include "core/qt_timer_schedule.h"

#include <algorithm>
#include <cstdlib>

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerMs = 1'000'000;
}

QtTimerSchedule::QtTimerSchedule() {
    clock_.start();
    for (int id = 0; id <= kMaxId; ++id) {
        auto* timer = new QTimer();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [this, id] { fire(id); });
        timers_[id] = timer;
    }
}

QtTimerSchedule::~QtTimerSchedule() {
    for (QTimer* timer : timers_) delete timer;
}

void QtTimerSchedule::start(int id, int periodMs) {
    if (id < 0 || id > kMaxId) return;
    const int period = std::max(periodMs, 1);
    const int64_t now = clock_.nsecsElapsed();
    const bool catchUp = tickDueNs_ && std::abs(now - *tickDueNs_) <= kMaxCatchUpNs;
    const int64_t from = catchUp ? *tickDueNs_ : now;
    periodsMs_[id] = period;
    dueNs_[id] = from + period * kNsPerMs;
    // The first wait to the nearest millisecond; the due time stays exact, so
    // the rounding of one wait is not carried into the next.
    const int64_t firstMs = std::max<int64_t>(0, (dueNs_[id] - now + kNsPerMs / 2) / kNsPerMs);
    timers_[id]->start(static_cast<int>(firstMs));
}

void QtTimerSchedule::stop(int id) {
    if (id >= 0 && id <= kMaxId) timers_[id]->stop();
}

bool QtTimerSchedule::isRunning(int id) const { return id >= 0 && id <= kMaxId && timers_[id]->isActive(); }

void QtTimerSchedule::fire(int id) {
    QTimer* timer = timers_[id];
    const int64_t due = dueNs_[id];
    // A shortened first wait gives way to the timer's own period.
    if (timer->interval() != periodsMs_[id]) timer->setInterval(periodsMs_[id]);
    dueNs_[id] = due + periodsMs_[id] * kNsPerMs;
    // Ticks nest inside modal dialogs: each restores the one it interrupted.
    const std::optional<int64_t> outer = tickDueNs_;
    tickDueNs_ = due;
    tick(id);
    tickDueNs_ = outer;
}

}  // namespace gaugemon::core
