#include "support/virtual_time.h"

#include <algorithm>
#include <ctime>

namespace gaugemon::core {

namespace {
// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

core::LocalDateTime civilFromSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
    return {y, m, d, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60)};
}
}  // namespace

VirtualTime::VirtualTime(core::LocalDateTime start)
    : startSeconds_(daysFromCivil(start.year, start.month, start.day) * 86400 + start.hour * 3600 + start.minute * 60 +
                    start.second) {}

core::LocalDateTime VirtualTime::localNow() const { return civilFromSeconds(startSeconds_ + now_ / 1000); }

bool VirtualTime::nextDue(int64_t notAfter, Due& due) const {
    bool found = false;
    uint64_t bestSequence = 0;
    for (VirtualTimerSchedule* schedule : schedules_) {
        for (int id = 0; id <= core::TimerSchedule::kMaxId; ++id) {
            const auto& slot = schedule->slots_[id];
            if (!slot.running || slot.dueAt > notAfter) continue;
            if (!found || slot.dueAt < due.at || (slot.dueAt == due.at && slot.sequence < bestSequence)) {
                due = {schedule, id, slot.dueAt};
                bestSequence = slot.sequence;
                found = true;
            }
        }
    }
    return found;
}

void VirtualTime::advanceTo(int64_t target) {
    Due due;
    while (nextDue(target, due)) {
        now_ = std::max(now_, due.at);
        due.schedule->fire(due.id);
    }
    now_ = std::max(now_, target);
}

bool VirtualTime::runUntil(const std::function<bool()>& done, int64_t limitMs) {
    const int64_t end = now_ + limitMs;
    Due due;
    while (!done()) {
        if (!nextDue(end, due)) {
            now_ = std::max(now_, end);
            return done();
        }
        now_ = std::max(now_, due.at);
        due.schedule->fire(due.id);
    }
    return true;
}

VirtualTimerSchedule::VirtualTimerSchedule(VirtualTime& time) : time_(time) { time_.schedules_.push_back(this); }

VirtualTimerSchedule::~VirtualTimerSchedule() {
    auto& list = time_.schedules_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void VirtualTimerSchedule::start(int id, int periodMs) {
    if (id < 0 || id > kMaxId) return;
    // The platform treats a period of 0 as the shortest one it has.
    const int period = std::max(periodMs, 1);
    Slot& slot = slots_[id];
    const uint64_t sequence = time_.nextSequence();
    slot = {true, period, time_.nowMs() + period, sequence, sequence, slot.ticking};
}

void VirtualTimerSchedule::stop(int id) {
    if (id >= 0 && id <= kMaxId) slots_[id].running = false;
}

bool VirtualTimerSchedule::isRunning(int id) const { return id >= 0 && id <= kMaxId && slots_[id].running; }

int VirtualTimerSchedule::periodOf(int id) const { return isRunning(id) ? slots_[id].periodMs : 0; }

int64_t VirtualTimerSchedule::remainingMs(int id) const {
    return isRunning(id) ? slots_[id].dueAt - time_.nowMs() : -1;
}

void VirtualTimerSchedule::fire(int id) {
    // The next expiry is set before the tick runs, so a tick that stops or
    // restarts its own timer has the last word.
    Slot& slot = slots_[id];
    slot.dueAt = std::max(slot.dueAt + slot.periodMs, time_.nowMs() + 1);
    slot.sequence = time_.nextSequence();
    if (slot.ticking == slot.started) return;  // still inside its own tick
    const uint64_t outer = slot.ticking;
    slot.ticking = slot.started;
    tick(id);
    slots_[id].ticking = outer;
}

}  // namespace gaugemon::core
