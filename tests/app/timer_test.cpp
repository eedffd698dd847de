#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/qt_timer_schedule.h"
#include "core/timer_catch_up.h"
#include "support/virtual_time.h"

using namespace gaugemon::core;

namespace {

// What fired, when, and how deep inside other ticks.
struct Fired {
    int id;
    int64_t at;
    int depth;
    bool operator==(const Fired&) const = default;
};

class VirtualTimeTest : public ::testing::Test {
protected:
    VirtualTimeTest() {
        schedule.setTickHandler([this](int id) {
            ++depth_;
            fired.push_back({id, time.nowMs(), depth_});
            if (onTick) onTick(id);
            --depth_;
        });
    }

    std::vector<int64_t> timesOf(int id) const {
        std::vector<int64_t> times;
        for (const Fired& f : fired) {
            if (f.id == id) times.push_back(f.at);
        }
        return times;
    }

    VirtualTime time;
    VirtualTimerSchedule schedule{time};
    std::vector<Fired> fired;
    std::function<void(int)> onTick;

private:
    int depth_ = 0;
};

}  // namespace

TEST_F(VirtualTimeTest, RunningTimerFiresOncePerPeriodUntilStopped) {
    schedule.start(timer::kBackup, 100);
    time.advanceBy(350);
    EXPECT_EQ(timesOf(timer::kBackup), (std::vector<int64_t>{100, 200, 300}));
    EXPECT_EQ(schedule.remainingMs(timer::kBackup), 50);
    schedule.stop(timer::kBackup);
    time.advanceBy(1000);
    EXPECT_EQ(fired.size(), 3u);
    EXPECT_FALSE(schedule.isRunning(timer::kBackup));
    EXPECT_EQ(schedule.remainingMs(timer::kBackup), -1);
    EXPECT_EQ(time.nowMs(), 1350);
}

TEST_F(VirtualTimeTest, StartingARunningTimerReplacesPeriodAndCountdown) {
    schedule.start(timer::kRequest, 100);
    time.advanceBy(60);
    schedule.start(timer::kRequest, 50);
    EXPECT_EQ(schedule.periodOf(timer::kRequest), 50);
    time.advanceBy(200);
    // Never at 100: the first countdown was replaced, not joined by a second.
    EXPECT_EQ(timesOf(timer::kRequest), (std::vector<int64_t>{110, 160, 210, 260}));
}

TEST_F(VirtualTimeTest, StoppingAStoppedOrUnknownTimerChangesNothing) {
    schedule.stop(timer::kLogo);
    schedule.stop(-1);
    schedule.stop(TimerSchedule::kMaxId + 1);
    schedule.start(TimerSchedule::kMaxId + 1, 10);
    schedule.start(timer::kLogo, 100);
    schedule.stop(timer::kLogo);
    schedule.stop(timer::kLogo);
    time.advanceBy(500);
    EXPECT_TRUE(fired.empty());
    EXPECT_FALSE(schedule.isRunning(TimerSchedule::kMaxId + 1));
}

TEST_F(VirtualTimeTest, DueTimersFireInTimeOrderThenStartOrder) {
    VirtualTimerSchedule other(time);
    other.setTickHandler([this](int id) { fired.push_back({100 + id, time.nowMs(), 1}); });
    schedule.start(timer::kWatchdog, 30);
    schedule.start(timer::kAnswer, 20);
    other.start(timer::kRequest, 20);
    schedule.start(timer::kRecord, 10);
    time.advanceBy(30);
    // At 20 the record timer comes last: its countdown was re-armed at 10.
    const std::vector<Fired> expected = {{timer::kRecord, 10, 1}, {timer::kAnswer, 20, 1},   {101, 20, 1},
                                         {timer::kRecord, 20, 1}, {timer::kWatchdog, 30, 1}, {timer::kRecord, 30, 1}};
    EXPECT_EQ(fired, expected);
}

TEST_F(VirtualTimeTest, OneShotTickThatStopsItselfFiresOnce) {
    onTick = [this](int id) { schedule.stop(id); };
    schedule.start(timer::kLogo, 100);
    schedule.start(timer::kLogo, 10);  // a resize right after opening
    time.advanceBy(1000);
    EXPECT_EQ(timesOf(timer::kLogo), (std::vector<int64_t>{10}));
}

TEST_F(VirtualTimeTest, TickThatRestartsItsOwnTimerHasTheLastWord) {
    // The request tick arms a 1233 ms fallback, the answer tick replaces it by 15 ms.
    onTick = [this](int id) {
        schedule.stop(id);
        if (id == timer::kRequest) {
            schedule.start(timer::kAnswer, 209);
            schedule.start(timer::kRequest, 1233);
        } else {
            schedule.start(timer::kRequest, 15);
        }
    };
    schedule.start(timer::kRequest, 15);
    time.advanceBy(15 + 224 * 2);
    EXPECT_EQ(timesOf(timer::kRequest), (std::vector<int64_t>{15, 239, 463}));
    EXPECT_EQ(timesOf(timer::kAnswer), (std::vector<int64_t>{224, 448}));
}

TEST_F(VirtualTimeTest, ModalDialogInsideATickRunsOtherTicksNestedAndMovesTime) {
    // The answer tick opens a dialog for 100 ms; the request timer keeps firing
    // inside it, and nothing is fired twice or out of order.
    onTick = [this](int id) {
        if (id == timer::kAnswer) {
            schedule.stop(timer::kAnswer);
            time.advanceBy(100);
        }
    };
    schedule.start(timer::kRequest, 40);
    schedule.start(timer::kAnswer, 50);
    time.advanceBy(200);
    const std::vector<Fired> expected = {{timer::kRequest, 40, 1},  {timer::kAnswer, 50, 1},
                                         {timer::kRequest, 80, 2},  {timer::kRequest, 120, 2},
                                         {timer::kRequest, 160, 1}, {timer::kRequest, 200, 1}};
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(time.nowMs(), 200);
}

TEST_F(VirtualTimeTest, NestedDialogMayOutlastTheOuterAdvance) {
    onTick = [this](int id) {
        schedule.stop(id);
        if (id == timer::kAnswer) time.advanceBy(1000);
    };
    schedule.start(timer::kAnswer, 10);
    schedule.start(timer::kWatchdog, 500);
    time.advanceBy(20);
    // The watchdog expired while the dialog was open, once.
    EXPECT_EQ(timesOf(timer::kWatchdog), (std::vector<int64_t>{500}));
    EXPECT_EQ(time.nowMs(), 1010);
}

// A box opened inside a repeating timer's tick holds that timer back, as the
// platform does: its expiries pass unseen and the next one after the box counts.
TEST_F(VirtualTimeTest, TimerIsNotFiredAgainInsideItsOwnTick) {
    bool boxShown = false;
    onTick = [&](int id) {
        if (id != timer::kBackup || boxShown) return;
        boxShown = true;
        time.advanceBy(250);
    };
    schedule.start(timer::kBackup, 100);
    schedule.start(timer::kRequest, 60);
    time.advanceBy(500);
    EXPECT_EQ(timesOf(timer::kBackup), (std::vector<int64_t>{100, 400, 500}));
    // Other timers go on inside the box.
    EXPECT_EQ(timesOf(timer::kRequest).size(), 8u);
}

TEST_F(VirtualTimeTest, TimerStartedAnewInsideItsOwnTickFiresNested) {
    bool boxShown = false;
    onTick = [&](int id) {
        if (id != timer::kBackup || boxShown) return;
        boxShown = true;
        schedule.start(timer::kBackup, 100);
        time.advanceBy(250);
    };
    schedule.start(timer::kBackup, 100);
    time.advanceBy(400);
    EXPECT_EQ(timesOf(timer::kBackup), (std::vector<int64_t>{100, 200, 300, 400}));
    EXPECT_EQ(fired[1].depth, 2);
}

TEST_F(VirtualTimeTest, ZeroPeriodIsTheShortestPeriodNotALoopWithoutEnd) {
    schedule.start(timer::kRecord, 0);
    time.advanceBy(5);
    EXPECT_EQ(timesOf(timer::kRecord), (std::vector<int64_t>{1, 2, 3, 4, 5}));
}

TEST_F(VirtualTimeTest, RunUntilStopsAtTheConditionOrTheLimit) {
    schedule.start(timer::kDiscovery, 20);
    EXPECT_TRUE(time.runUntil([this] { return fired.size() == 3; }, 1000));
    EXPECT_EQ(time.nowMs(), 60);
    schedule.stop(timer::kDiscovery);
    EXPECT_FALSE(time.runUntil([this] { return fired.size() == 4; }, 500));
    EXPECT_EQ(time.nowMs(), 560);
}

TEST(VirtualClock, LocalTimeFollowsVirtualMillisecondsAcrossDateBoundaries) {
    VirtualTime time({2019, 11, 29, 13, 52, 30});
    time.advanceBy(29999);
    EXPECT_EQ(time.localNow().second, 59);
    time.advanceBy(1);
    const LocalDateTime a = time.localNow();
    EXPECT_EQ(std::make_tuple(a.hour, a.minute, a.second), std::make_tuple(13, 53, 0));

    VirtualTime newYear({2019, 12, 31, 23, 59, 59});
    newYear.advanceBy(1000);
    const LocalDateTime b = newYear.localNow();
    EXPECT_EQ(std::make_tuple(b.year, b.month, b.day, b.hour, b.minute, b.second),
              std::make_tuple(2020, 1, 1, 0, 0, 0));

    VirtualTime leap({2020, 2, 28, 23, 59, 59});
    leap.advanceBy(1000);
    EXPECT_EQ(std::make_pair(leap.localNow().month, leap.localNow().day), std::make_pair(2, 29));
    leap.advanceBy(86400 * 1000);
    EXPECT_EQ(std::make_pair(leap.localNow().month, leap.localNow().day), std::make_pair(3, 1));
}

// ---------------------------------------------------------------- QTimer schedule

namespace {

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "timer_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until `ticks` ticks arrived; a generous guard ends a
// run that would otherwise hang the suite.
std::vector<int> runForTicks(QtTimerSchedule& schedule, size_t ticks, const std::function<void(int)>& onTick = {}) {
    application();
    std::vector<int> seen;
    QEventLoop loop;
    schedule.setTickHandler([&](int id) {
        seen.push_back(id);
        if (onTick) onTick(id);
        if (seen.size() >= ticks) loop.quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(10000);
    loop.exec();
    schedule.setTickHandler({});
    return seen;
}

}  // namespace

// Every rule holds alike on the kernel's timer and on the window timers it
// falls back to.
class QtTimerBacking : public ::testing::TestWithParam<QtTimerSchedule::Backing> {};
INSTANTIATE_TEST_SUITE_P(Backings, QtTimerBacking,
                         ::testing::Values(QtTimerSchedule::Backing::KernelTimer,
                                           QtTimerSchedule::Backing::WindowTimers),
                         [](const auto& info) {
                             return info.param == QtTimerSchedule::Backing::KernelTimer ? "Kernel" : "Window";
                         });

TEST_P(QtTimerBacking, TickCarriesTheIdAndAStoppedTimerStaysQuiet) {
    application();
    QtTimerSchedule schedule(GetParam());
    schedule.start(timer::kAnswer, 1);
    EXPECT_TRUE(schedule.isRunning(timer::kAnswer));
    const auto seen = runForTicks(schedule, 1, [&](int id) { schedule.stop(id); });
    EXPECT_EQ(seen, std::vector<int>{timer::kAnswer});
    EXPECT_FALSE(schedule.isRunning(timer::kAnswer));
    schedule.stop(timer::kAnswer);
    schedule.stop(-3);
    schedule.start(99, 1);
    EXPECT_FALSE(schedule.isRunning(99));
}

// What the virtual timers copy: a repeating timer whose tick runs a nested
// loop is not fired inside it, unless the tick started it anew.
TEST_P(QtTimerBacking, TimerIsNotFiredAgainInsideItsOwnTickUnlessStartedAnew) {
    application();
    for (const bool startAnew : {false, true}) {
        QtTimerSchedule schedule(GetParam());
        int depth = 0;
        int nestedBackups = 0;
        int nestedRequests = 0;
        QEventLoop outer;
        schedule.setTickHandler([&](int id) {
            if (depth > 0) {
                if (id == timer::kBackup)
                    ++nestedBackups;
                else
                    ++nestedRequests;
                return;
            }
            ++depth;
            if (startAnew) schedule.start(timer::kBackup, 1);
            schedule.start(timer::kRequest, 1);
            QEventLoop box;  // the message box
            QTimer closer;
            QObject::connect(&closer, &QTimer::timeout, &box, [&] {
                if (nestedRequests >= 20) box.quit();
            });
            closer.start(1);
            box.exec();
            --depth;
            outer.quit();
        });
        schedule.start(timer::kBackup, 1);
        outer.exec();
        schedule.setTickHandler({});
        if (startAnew)
            EXPECT_GT(nestedBackups, 0);
        else
            EXPECT_EQ(nestedBackups, 0);
    }
}

TEST_P(QtTimerBacking, RestartReplacesALongPeriodByAShortOne) {
    application();
    QtTimerSchedule schedule(GetParam());
    schedule.start(timer::kRequest, 1233);
    schedule.start(timer::kRequest, 1233 * 1000);
    schedule.start(timer::kRequest, 1);
    // Keeps running: a window timer repeats until stopped.
    const auto seen = runForTicks(schedule, 3);
    EXPECT_EQ(seen, (std::vector<int>{timer::kRequest, timer::kRequest, timer::kRequest}));
    EXPECT_TRUE(schedule.isRunning(timer::kRequest));
}

// A restart replaces a start in microseconds that has not fired yet; a start
// in microseconds never fires before its wait and then repeats as a window
// timer does, unless its tick starts or stops it.
TEST_P(QtTimerBacking, AStartInMicrosecondsFiresAfterItsWaitAndGoesOnAsAWindowTimer) {
    application();
    QtTimerSchedule schedule(GetParam());
    schedule.startInMicros(timer::kRequest, 400);
    schedule.start(timer::kRequest, 1233);
    schedule.startInMicros(timer::kAnswerSilence, 50'000'000);
    schedule.stop(timer::kAnswerSilence);
    EXPECT_FALSE(schedule.isRunning(timer::kAnswerSilence));
    QElapsedTimer clock;
    std::vector<int64_t> firedNs;
    schedule.startInMicros(timer::kAnswer, 700);
    clock.start();
    EXPECT_TRUE(schedule.isRunning(timer::kAnswer));
    const auto seen = runForTicks(schedule, 3, [&](int) { firedNs.push_back(clock.nsecsElapsed()); });
    schedule.stop(timer::kRequest);
    EXPECT_EQ(seen, (std::vector<int>{timer::kAnswer, timer::kAnswer, timer::kAnswer}));
#ifdef _WIN32
    // Windows' window timers run on the system's millisecond tick and may
    // come up to one tick early; the kernel's timer never does.
    const int64_t earlyNs = GetParam() == QtTimerSchedule::Backing::WindowTimers ? 1'000'000 : 0;
#else
    const int64_t earlyNs = 0;
#endif
    EXPECT_GE(firedNs[0], 700'000 - earlyNs);
    // Then every millisecond the wait rounds up to, counted from its first
    // moment (the kernel's timer) or from its first tick (window timers).
    EXPECT_GE(firedNs[2], 2'700'000 - earlyNs);
    EXPECT_TRUE(schedule.isRunning(timer::kAnswer));
}

namespace {
constexpr int64_t kMs = 1'000'000;

struct CatchUpCase {
    const char* name;
    std::optional<int64_t> tickMeantNs;
    int64_t nowNs;
    int64_t periodNs;
    int64_t shortestWaitNs;
    TimerDue expected;
};

// The request tick meant for 100 ms, the answer 43 ms on, the 15-ms gap after
// it, and the line's 1-ms gap.
const CatchUpCase kCatchUpCases[] = {
    {"OutsideATickCountsFromNow", std::nullopt, 100 * kMs, 15 * kMs, 0, {115 * kMs, 115 * kMs}},
    {"AnOnTimeTickKeepsItsSchedule", 100 * kMs, 100 * kMs + 300'000, 43 * kMs, 41 * kMs, {143 * kMs, 143 * kMs}},
    {"AnEarlyTickKeepsItsSchedule", 100 * kMs, 100 * kMs - 400'000, 43 * kMs, 41 * kMs, {143 * kMs, 143 * kMs}},
    // The answer's wait is shortened by 2 ms at most; the rest is carried.
    {"AnAnswerWaitMakesUpLittle", 100 * kMs, 105 * kMs, 43 * kMs, 41 * kMs, {143 * kMs, 146 * kMs}},
    // The gap after that answer makes up what was carried.
    {"TheGapMakesUpTheChain", 143 * kMs, 146 * kMs, 15 * kMs, 1 * kMs, {158 * kMs, 158 * kMs}},
    {"TheGapMakesUpALateTick", 143 * kMs, 155 * kMs, 15 * kMs, 1 * kMs, {158 * kMs, 158 * kMs}},
    {"TheGapStaysTheLinesAtLeast", 143 * kMs, 157 * kMs + kMs / 2, 15 * kMs, kMs, {158 * kMs, 158 * kMs + kMs / 2}},
    // After a stall (a dialog) the chain goes on from 15 ms before now.
    {"AStallIsNotMadeUp", 143 * kMs, 10'143 * kMs, 15 * kMs, 1 * kMs, {10'143 * kMs, 10'144 * kMs}},
};

class TimerCatchUp : public ::testing::TestWithParam<CatchUpCase> {};

TEST_P(TimerCatchUp, MakesUpLateWakeUpsWithinTheAllowedWait) {
    const CatchUpCase& c = GetParam();
    const TimerDue due = timerDue(c.tickMeantNs, c.nowNs, c.periodNs, c.shortestWaitNs);
    EXPECT_EQ(due.meantNs, c.expected.meantNs);
    EXPECT_EQ(due.dueNs, c.expected.dueNs);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimerCatchUp, ::testing::ValuesIn(kCatchUpCases),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
