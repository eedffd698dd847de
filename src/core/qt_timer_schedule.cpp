#include "core/qt_timer_schedule.h"

#include <algorithm>

#include "core/timer_catch_up.h"

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerMs = 1'000'000;

// The clock of the kernel's timer.
int64_t monotonicNs() { return KernelTimer::now(); }
}  // namespace

QtTimerSchedule::QtTimerSchedule(Backing backing) : kernelTimerTried_(backing == Backing::WindowTimers) {}

QtTimerSchedule::~QtTimerSchedule() = default;

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
    running_[id] = true;
    ++changes_[id];
    if (watchKernelTimer()) {
        dueNs_[id] = due.dueNs;
        armKernelTimer();
        return;
    }
    // The first wait to the nearest millisecond; the meant moment stays
    // exact, so the rounding of one wait is not carried into the next.
    const int64_t firstMs = std::max<int64_t>(0, (due.dueNs - now + kNsPerMs / 2) / kNsPerMs);
    timers_[id]->start(static_cast<int>(firstMs));
}

void QtTimerSchedule::startInMicros(int id, int64_t firstWaitUs) {
    if (id < 0 || id > kMaxId) return;
    const int64_t waitNs = std::max<int64_t>(firstWaitUs, 0) * 1000;
    if (!watchKernelTimer()) {
        start(id, static_cast<int>((waitNs + kNsPerMs - 1) / kNsPerMs));
        return;
    }
    ++changes_[id];
    running_[id] = true;
    periodsMs_[id] = static_cast<int>(std::max<int64_t>((waitNs + kNsPerMs - 1) / kNsPerMs, 1));
    // Counted from now: a wait this precise is asked for from outside the
    // ticks, when the line tells of an answer.
    meantNs_[id] = monotonicNs() + waitNs;
    dueNs_[id] = meantNs_[id];
    armKernelTimer();
}

void QtTimerSchedule::stop(int id) {
    if (id < 0 || id > kMaxId) return;
    running_[id] = false;
    ++changes_[id];
    if (timers_[id]) timers_[id]->stop();
    if (dueNs_[id] == 0) return;
    // Set for the next one due, so the loop is not woken for this one.
    dueNs_[id] = 0;
    armKernelTimer();
}

bool QtTimerSchedule::isRunning(int id) const { return id >= 0 && id <= kMaxId && running_[id]; }

void QtTimerSchedule::fire(int id) {
    QTimer& timer = *timers_[id];
    const int64_t meant = meantNs_[id];
    // A shortened first wait gives way to the timer's own period.
    if (timer.interval() != periodsMs_[id]) timer.setInterval(periodsMs_[id]);
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

bool QtTimerSchedule::watchKernelTimer() {
    if (kernelTimerWatched_) return true;
    if (!kernelTimerTried_) {
        kernelTimerTried_ = true;
        kernelTimerWatched_ = kernelTimer_.open([this] { kernelTimerExpired(); });
    }
    if (!kernelTimerWatched_) {
        // Decided once, so that no id ever runs on both.
        for (int id = 0; id <= kMaxId; ++id) {
            if (timers_[id]) continue;
            timers_[id] = std::make_unique<QTimer>();
            timers_[id]->setTimerType(Qt::PreciseTimer);
            QObject::connect(timers_[id].get(), &QTimer::timeout, [this, id] { fire(id); });
        }
        return false;
    }
    return true;
}

void QtTimerSchedule::armKernelTimer() {
    int64_t earliest = 0;
    for (const int64_t due : dueNs_) {
        if (due != 0 && (earliest == 0 || due < earliest)) earliest = due;
    }
    // Nothing due: disarmed, so the loop is not woken for nothing.
    kernelTimer_.setDue(earliest);
}

// The timers due fire in the order of their moments, each once: one that is
// due again at once waits for the next turn of the event loop, so a chain of
// ticks making up lateness does not keep the loop from the line.
void QtTimerSchedule::kernelTimerExpired() {
    const int64_t now = monotonicNs();
    uint32_t fired = 0;
    for (;;) {
        int next = -1;
        for (int id = 0; id <= kMaxId; ++id) {
            const int64_t due = dueNs_[id];
            if (due == 0 || due > now || (fired & (1u << id)) != 0) continue;
            if (next < 0 || due < dueNs_[next]) next = id;
        }
        if (next < 0) break;
        fired |= 1u << next;
        fireDue(next);
    }
    armKernelTimer();
}

void QtTimerSchedule::fireDue(int id) {
    const int64_t due = dueNs_[id];
    // Not due inside its own tick, as a window timer is not fired inside its
    // own timer event, unless the tick starts it anew.
    dueNs_[id] = 0;
    const uint64_t changes = changes_[id];
    const int64_t meant = meantNs_[id];
    const int64_t periodNs = periodsMs_[id] * kNsPerMs;
    meantNs_[id] = meant + periodNs;
    runTick(id, meant);
    if (changes_[id] != changes) return;
    // It repeats from the moment it was due; a wake-up later than a whole
    // period goes on a period from now, as a window timer does.
    const int64_t after = monotonicNs();
    dueNs_[id] = due + periodNs > after ? due + periodNs : after + periodNs;
}

}  // namespace gaugemon::core
