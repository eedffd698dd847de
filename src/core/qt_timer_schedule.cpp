#include "core/qt_timer_schedule.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>

#include "core/timer_catch_up.h"

namespace gaugemon::core {

namespace {
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNsPerS = 1'000'000'000;

// The clock of the kernel's timer; QElapsedTimer reads the same.
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
    // The descriptor leaves the event loop before it is closed.
    kernelTimerNotifier_.reset();
    if (kernelTimer_ >= 0) ::close(kernelTimer_);
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
    kernelDueNs_[id] = 0;
    ++changes_[id];
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
    timers_[id]->stop();
    ++changes_[id];
    periodsMs_[id] = static_cast<int>(std::max<int64_t>((waitNs + kNsPerMs - 1) / kNsPerMs, 1));
    // Counted from now: a wait this precise is asked for from outside the
    // ticks, when the line tells of an answer.
    meantNs_[id] = monotonicNs() + waitNs;
    kernelDueNs_[id] = meantNs_[id];
    armKernelTimer();
}

void QtTimerSchedule::stop(int id) {
    if (id < 0 || id > kMaxId) return;
    timers_[id]->stop();
    ++changes_[id];
    // The kernel's timer may still go off for it; it then finds nothing due.
    kernelDueNs_[id] = 0;
}

bool QtTimerSchedule::isRunning(int id) const {
    return id >= 0 && id <= kMaxId && (timers_[id]->isActive() || kernelDueNs_[id] != 0);
}

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

bool QtTimerSchedule::watchKernelTimer() {
    if (kernelTimerNotifier_) return true;
    if (kernelTimer_ < 0) kernelTimer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (kernelTimer_ < 0) return false;
    kernelTimerNotifier_ = std::make_unique<QSocketNotifier>(kernelTimer_, QSocketNotifier::Read);
    QObject::connect(kernelTimerNotifier_.get(), &QSocketNotifier::activated, [this] { kernelTimerExpired(); });
    return true;
}

void QtTimerSchedule::armKernelTimer() {
    int64_t earliest = 0;
    for (const int64_t due : kernelDueNs_) {
        if (due != 0 && (earliest == 0 || due < earliest)) earliest = due;
    }
    if (earliest == 0) return;
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(earliest / kNsPerS);
    setting.it_value.tv_nsec = static_cast<long>(earliest % kNsPerS);
    ::timerfd_settime(kernelTimer_, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void QtTimerSchedule::kernelTimerExpired() {
    uint64_t expirations = 0;
    // Read to quiet the descriptor; what it counts does not matter.
    [[maybe_unused]] const ssize_t got = ::read(kernelTimer_, &expirations, sizeof expirations);
    const int64_t now = monotonicNs();
    for (int id = 0; id <= kMaxId; ++id) {
        if (kernelDueNs_[id] == 0 || kernelDueNs_[id] > now) continue;
        kernelDueNs_[id] = 0;
        const uint64_t changes = changes_[id];
        const int64_t meant = meantNs_[id];
        meantNs_[id] = meant + periodsMs_[id] * kNsPerMs;
        runTick(id, meant);
        // It goes on as a window timer does, unless its tick started or
        // stopped it; not earlier, so that it does not fire inside its own tick.
        if (changes_[id] == changes) timers_[id]->start(periodsMs_[id]);
    }
    armKernelTimer();
}

}  // namespace gaugemon::core
