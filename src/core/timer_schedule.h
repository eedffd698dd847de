#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>

namespace gaugemon::core {

// Numbered timers of the main window.
namespace timer {
inline constexpr int kRequest = 1;
inline constexpr int kAnswer = 2;
inline constexpr int kRecord = 3;
inline constexpr int kWatchdog = 4;
inline constexpr int kDiscovery = 5;
inline constexpr int kLogo = 6;
inline constexpr int kBackup = 7;
inline constexpr int kAnswerSilence = 8;  // fast polling: the line has gone quiet
// The window's record list announces new rows in batches.
inline constexpr int kListBatch = 12;
// An unattended station's own: looking for a lost instrument, ending an
// export period, the rows of the last minute in the log.
inline constexpr int kReconnect = 13;
inline constexpr int kRotation = 14;
inline constexpr int kReport = 15;
}  // namespace timer

// Window-style timers: a started id fires every period until it is stopped.
// Starting a running id replaces its period and restarts its countdown; there
// is never more than one instance of an id; stopping a stopped id does nothing.
// Ticks run one at a time on the one thread, but a tick that opens a modal
// dialog lets other ticks run nested inside it.
class TimerSchedule {
public:
    using TickHandler = std::function<void(int id)>;
    static constexpr int kMaxId = 15;

    virtual ~TimerSchedule() = default;
    virtual void start(int id, int periodMs) = 0;
    virtual void stop(int id) = 0;
    virtual bool isRunning(int id) const = 0;
    // Starts `id` as start() does, but where start() makes up little of a
    // late wake-up (a wait for an answer must stay nearly whole), this makes
    // up the lateness of the ticks before it out of the first wait, down to
    // `shortestWaitMs`. A schedule that never runs late has nothing to make up.
    virtual void startMakingUp(int id, int periodMs, int shortestWaitMs) {
        (void)shortestWaitMs;
        start(id, periodMs);
    }
    // Starts `id` to fire first after `firstWaitUs` microseconds, as close to
    // that as the platform allows, then every whole millisecond the wait
    // rounds up to. Timers that cannot do better wait whole milliseconds.
    virtual void startInMicros(int id, int64_t firstWaitUs) {
        start(id, static_cast<int>((std::max<int64_t>(firstWaitUs, 0) + 999) / 1000));
    }
    void setTickHandler(TickHandler handler) { handler_ = std::move(handler); }

protected:
    void tick(int id) {
        if (handler_) handler_(id);
    }

private:
    TickHandler handler_;
};

}  // namespace gaugemon::core
