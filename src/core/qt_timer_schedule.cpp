#include "core/qt_timer_schedule.h"

#include <time.h>

#include <algorithm>

#include "core/timer_catch_up.h"

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNsPerS = 1'000'000'000;

// The clock QElapsedTimer reads.
int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNsPerS + now.tv_nsec;
}
}  // namespace

QtTimerSchedule::QtTimerSchedule() {
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
    startFrom(id, periodMs, std::max<int64_t>(periodMs, 1) * kNsPerMs - kMaxShortenedWaitNs);
}

void QtTimerSchedule::startMakingUp(int id, int periodMs, int shortestWaitMs) {
    startFrom(id, periodMs, std::max(shortestWaitMs, 0) * kNsPerMs);
}

void QtTimerSchedule::startFrom(int id, int periodMs, int64_t shortestWaitNs) {
    if (id < 0 || id > kMaxId) return;
    const int period = std::max(periodMs, 1);
    const int64_t now = monotonicNs();
    const TimerDue due = timerDue(tickMeantNs_, now, period * kNsPerMs, shortestWaitNs);
    periodsMs_[id] = period;
    meantNs_[id] = due.meantNs;
    // The first wait to the nearest millisecond; the meant moment stays
    // exact, so the rounding of one wait is not carried into the next.
    const int64_t firstMs = std::max<int64_t>(0, (due.dueNs - now + kNsPerMs / 2) / kNsPerMs);
    timers_[id]->start(static_cast<int>(firstMs));
}

void QtTimerSchedule::stop(int id) {
    if (id >= 0 && id <= kMaxId) timers_[id]->stop();
}

bool QtTimerSchedule::isRunning(int id) const { return id >= 0 && id <= kMaxId && timers_[id]->isActive(); }

void QtTimerSchedule::fire(int id) {
    QTimer* timer = timers_[id];
    const int64_t meant = meantNs_[id];
    // A shortened first wait gives way to the timer's own period.
    if (timer->interval() != periodsMs_[id]) timer->setInterval(periodsMs_[id]);
    meantNs_[id] = meant + periodsMs_[id] * kNsPerMs;
    runTick(id, meant);
}

void QtTimerSchedule::runTick(int id, int64_t meantNs) {
    // Ticks nest inside modal dialogs: each restores the one it interrupted.
    const std::optional<int64_t> outer = tickMeantNs_;
    tickMeantNs_ = meantNs;
    tick(id);
    tickMeantNs_ = outer;
}

}  // namespace gaugemon::core
