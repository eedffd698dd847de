// Fast polling against the simulated instrument in virtual time: the cycle
// follows the wire, and every bad answer counts as the normal cycle counts it.
#include "link_fixture.h"

#include <functional>
#include <utility>

#include "link/line_timing.h"
#include "sim/simulated_ports.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

constexpr int32_t kProbeValue = 500;

// One station on one simulated line, fast or not. The line tells of arriving
// bytes on its own schedule of the same virtual time.
struct SimulatedStation {
    explicit SimulatedStation(bool fast, unsigned probes = 60, int baudRate = 115200) {
        timers.setTickHandler([this](int id) { controller.onTick(id); });
        line.wakeOn(wake);
        sim::InstrumentConfig config;
        config.probeCount = probes;
        config.baudRate = baudRate;
        for (unsigned k = 0; k < probes; ++k) config.probes.push_back(sim::constantProbe(kProbeValue));
        instrument = &ports.place("COM3", config);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        controller.setFastMode(fast);
    }

    bool connect() {
        controller.connectButton();
        return clock.runUntil([&] { return state.connected; }, 60'000);
    }

    size_t requestsSent() const {
        size_t count = 0;
        for (const sim::PortEvent& event : ports.events()) count += event.kind == sim::PortEvent::Kind::Write;
        return count;
    }

    // Runs until the next request has gone out; the clock stands at its send.
    bool runToNextRequest() {
        const size_t before = requestsSent();
        return clock.runUntil([&] { return requestsSent() > before; }, 2000);
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::VirtualTimerSchedule wake{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    RecordingHost host;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    link::LinkState state;
    core::Language language = core::Language::English;
    link::LinkController controller{state, line, timers, settings, prompts, host, language};
    sim::Instrument* instrument = nullptr;
};

struct Counts {
    uint32_t misses = 0;
    uint32_t errors = 0;
    int readings = 0;
    bool onlyTrueReadings = true;
};

// Connects, lets the cycle settle, spoils an exchange with `fault` (called at
// a request's send; instrument faults strike the next answer) and runs on for
// `ms`.
Counts countAfter(bool fast, const std::function<void(SimulatedStation&)>& fault, int64_t ms = 1000) {
    SimulatedStation station(fast);
    EXPECT_TRUE(station.connect());
    station.clock.advanceBy(500);
    const uint32_t misses = station.state.missCount;
    const uint32_t errors = station.state.errorCount;
    const int readings = station.host.displayUpdates;
    EXPECT_TRUE(station.runToNextRequest());
    fault(station);
    Counts counts;
    const int64_t end = station.clock.nowMs() + ms;
    while (station.clock.nowMs() < end) {
        station.clock.advanceBy(1);
        counts.onlyTrueReadings &= station.state.readings[0].value == kProbeValue;
        counts.onlyTrueReadings &= station.state.readings[59].value == kProbeValue;
    }
    // One more request settles the count of the last exchange.
    EXPECT_TRUE(station.runToNextRequest());
    counts.misses = station.state.missCount - misses;
    counts.errors = station.state.errorCount - errors;
    counts.readings = station.host.displayUpdates - readings;
    return counts;
}

// In place of the next answer, bytes reaching the station 4 ms after the
// request went out.
void replaceNextAnswer(SimulatedStation& station, const std::vector<uint8_t>& bytes) {
    station.instrument->injectNext(sim::FaultKind::Drop);
    ASSERT_TRUE(station.runToNextRequest());
    station.line.injectNoise(bytes.data(), bytes.size(), station.clock.nowMs() + 4);
}

std::vector<uint8_t> readingsFrom(uint8_t address, unsigned probes, uint8_t byteCount, uint8_t fill) {
    std::vector<uint8_t> bytes = {address, 0x03, byteCount};
    bytes.resize(3 + 4 * probes, fill);
    return bytes;
}

struct BadAnswer {
    const char* name;
    std::function<void(SimulatedStation&)> spoil;
    uint32_t misses;
    uint32_t errors;
};

class FastModeBadAnswers : public ::testing::TestWithParam<BadAnswer> {};

TEST_P(FastModeBadAnswers, CountAsTheNormalCycleCountsThemAndNeverBecomeReadings) {
    const BadAnswer& bad = GetParam();
    const Counts normal = countAfter(false, bad.spoil);
    const Counts fast = countAfter(true, bad.spoil);
    EXPECT_EQ(normal.misses, bad.misses);
    EXPECT_EQ(normal.errors, bad.errors);
    EXPECT_EQ(fast.misses, normal.misses);
    EXPECT_EQ(fast.errors, normal.errors);
    EXPECT_TRUE(normal.onlyTrueReadings);
    EXPECT_TRUE(fast.onlyTrueReadings);
    // The fast cycle goes on at its own pace after the fault.
    EXPECT_GT(fast.readings, 2 * normal.readings);
}

const BadAnswer kBadAnswers[] = {
    {"Lost", [](SimulatedStation& s) { s.instrument->injectNext(sim::FaultKind::Drop); }, 1, 0},
    {"CorruptCrc", [](SimulatedStation& s) { s.instrument->injectNext(sim::FaultKind::CorruptCrc); }, 0, 1},
    {"CutOff", [](SimulatedStation& s) { s.instrument->injectNext(sim::FaultKind::Truncate); }, 0, 1},
    {"RubbishBehind", [](SimulatedStation& s) { s.instrument->injectNext(sim::FaultKind::StrayBytes); }, 0, 1},
    {"RubbishAhead", [](SimulatedStation& s) { s.instrument->injectNext(sim::FaultKind::Noise); }, 0, 1},
    // Begun after the timeout: a miss, and its rest spoils the next answer.
    {"Late",
     [](SimulatedStation& s) {
         s.instrument->faults().lateByMs = 70;
         s.instrument->injectNext(sim::FaultKind::Late);
     },
     1, 1},
    // Another instrument's readings, with a right CRC: valid, and ignored.
    {"FromAnotherAddress", [](SimulatedStation& s) { replaceNextAnswer(s, withCrc(readingsFrom(7, 60, 240, 0x11))); },
     0, 0},
    // A byte count of 0xFF promises 256 reading bytes; these 240 are not believed.
    {"ByteCountFFCutShort", [](SimulatedStation& s) { replaceNextAnswer(s, withCrc(readingsFrom(1, 60, 0xFF, 0x22))); },
     0, 0},
    {"ByteCountFFCutOff",
     [](SimulatedStation& s) {
         std::vector<uint8_t> frame = withCrc(readingsFrom(1, 64, 0xFF, 0x33));
         frame.resize(200);
         replaceNextAnswer(s, frame);
     },
     0, 1},
};

INSTANTIATE_TEST_SUITE_P(Faults, FastModeBadAnswers, ::testing::ValuesIn(kBadAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

// Milliseconds from one request to the next, over `count` cycles.
std::vector<int64_t> requestSpacing(SimulatedStation& station, int count) {
    std::vector<int64_t> spacing;
    EXPECT_TRUE(station.runToNextRequest());
    int64_t last = station.clock.nowMs();
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(station.runToNextRequest());
        spacing.push_back(station.clock.nowMs() - last);
        last = station.clock.nowMs();
    }
    return spacing;
}

// Rubbish that comes apart from the answer but before the line has been
// quiet for 3.5 characters makes the answer a longer frame than asked for.
TEST(FastMode, RubbishArrivingJustBehindACompleteAnswerCountsAsAnError) {
    for (const bool fast : {false, true}) {
        SimulatedStation station(fast, 60, 4800);
        ASSERT_TRUE(station.connect());
        station.clock.advanceBy(2000);
        const uint32_t errors = station.state.errorCount;
        ASSERT_TRUE(station.runToNextRequest());
        const uint8_t rubbish[] = {0x5A, 0x00};
        // At 4800 baud a character takes 2.3 ms: these come 2.3 and 4.6 ms
        // after the answer's last byte, within its 8-ms frame gap.
        station.line.injectNoise(rubbish, sizeof rubbish, station.line.lastArrivalMs());
        ASSERT_TRUE(station.runToNextRequest());
        ASSERT_TRUE(station.runToNextRequest());
        EXPECT_EQ(station.state.errorCount - errors, 1u) << fast;
        EXPECT_EQ(station.state.missCount, 0u) << fast;
    }
}

// A late answer must not pass for the answer to the next request.
TEST(FastMode, AfterATimeoutTheNextRequestWaitsAsLongAsInTheNormalCycle) {
    SimulatedStation station(true);
    ASSERT_TRUE(station.connect());
    station.clock.advanceBy(300);
    station.instrument->injectNext(sim::FaultKind::Drop);
    const std::vector<int64_t> spacing = requestSpacing(station, 2);
    EXPECT_EQ(spacing[0], station.state.pollPeriodMs - 2 + 15);
    EXPECT_LE(spacing[1], 30);
}

TEST(FastMode, TheCycleFollowsTheWireTimeAtEveryBaudRate) {
    for (const int baud : link::kBaudTable) {
        SimulatedStation station(true, 60, baud);
        ASSERT_TRUE(station.connect()) << baud;
        station.clock.advanceBy(200);
        const link::LineSettings line = station.instrument->line();
        // Request and answer on the wire, the instrument's turnaround, the
        // wait for the last byte's notice and the gap before the next request.
        const int64_t exchangeUs = link::characterMicros(baud, line) * (8 + 245) + 3000;
        const int64_t cycleMs = (exchangeUs + 999) / 1000 + link::frameGapMs(baud, line);
        for (const int64_t spacing : requestSpacing(station, 20)) {
            EXPECT_GE(spacing, exchangeUs / 1000) << baud;
            EXPECT_LE(spacing, cycleMs + 1) << baud;
        }
        EXPECT_EQ(station.state.missCount + station.state.errorCount, 0u) << baud;
        EXPECT_EQ(station.state.readings[59].value, kProbeValue) << baud;
    }
}

TEST(FastMode, PollsMoreThanTwiceAsOftenAsTheNormalCycleAt115200) {
    SimulatedStation normal(false);
    SimulatedStation fast(true);
    for (SimulatedStation* station : {&normal, &fast}) {
        ASSERT_TRUE(station->connect());
        station->clock.advanceBy(10'000);
    }
    const int nominal = 10'000 / (normal.state.pollPeriodMs - 2 + 15);
    EXPECT_NEAR(normal.host.displayUpdates, nominal, 2);
    // 253 characters of 96 us (8E1) and 3 ms of turnaround, the notice of
    // the last byte at the next millisecond and a 1-ms gap: 29 ms a cycle.
    EXPECT_GE(fast.host.displayUpdates, 10'000 / 29 - 1);
    EXPECT_GT(fast.host.displayUpdates, 5 * normal.host.displayUpdates / 2);
}

// The line's gap counts from the answer's end: work the answer brings (here a
// dialog in the code step) does not hold the next request back, and the
// answers taken meanwhile count as they should.
TEST(FastMode, TheNextRequestDoesNotWaitForTheWorkAnAnswerBrings) {
    SimulatedStation station(true);
    ASSERT_TRUE(station.connect());
    station.clock.advanceBy(300);
    bool dialogShown = false;
    int readingsInDialog = 0;
    station.host.onCodeStep = [&] {
        if (std::exchange(dialogShown, true)) return;
        const int before = station.host.displayUpdates;
        station.clock.advanceBy(300);
        readingsInDialog = station.host.displayUpdates - before;
    };
    station.clock.advanceBy(500);
    ASSERT_TRUE(dialogShown);
    EXPECT_GE(readingsInDialog, 300 / 29 - 1);
    EXPECT_EQ(station.state.missCount + station.state.errorCount, 0u);
}

TEST(FastMode, NormalCycleKeepsItsPeriodsWhenTheLineTellsOfArrivals) {
    SimulatedStation station(false);
    ASSERT_TRUE(station.connect());
    for (const int64_t spacing : requestSpacing(station, 10)) EXPECT_EQ(spacing, station.state.pollPeriodMs - 2 + 15);
}

TEST(FastMode, TurningItOffMidwayGivesBackTheNormalCycle) {
    SimulatedStation station(true);
    ASSERT_TRUE(station.connect());
    station.clock.advanceBy(300);
    station.controller.setFastMode(false);
    station.runToNextRequest();
    station.runToNextRequest();
    for (const int64_t spacing : requestSpacing(station, 5)) EXPECT_EQ(spacing, station.state.pollPeriodMs - 2 + 15);
    EXPECT_EQ(station.state.missCount + station.state.errorCount, 0u);
}

TEST(FastMode, DiscoveryIsTheNormalOneAndTheInformationLineSaysFast) {
    SimulatedStation normal(false);
    SimulatedStation fast(true);
    ASSERT_TRUE(normal.connect());
    ASSERT_TRUE(fast.connect());
    EXPECT_EQ(fast.clock.nowMs(), normal.clock.nowMs());
    EXPECT_EQ(normal.controller.view().deviceInfo, "Addr:01  Num:60; Sample cycle:89ms");
    EXPECT_EQ(fast.controller.view().deviceInfo, "Addr:01  Num:60; Sample cycle:89ms · fast");
    fast.language = core::Language::Chinese;
    fast.controller.setFastMode(false);
    fast.controller.setFastMode(true);
    EXPECT_EQ(fast.controller.view().deviceInfo, "地址:01  数量:60; 查询周期89毫秒 · 快速");
    fast.controller.connectButton();
    EXPECT_EQ(fast.controller.view().deviceInfo, "  ");
}

TEST(FastMode, ZeroWriteGoesAheadOfTheReadingsAndTheWatchdogStillWatches) {
    SimulatedStation station(true);
    ASSERT_TRUE(station.connect());
    station.clock.advanceBy(300);
    station.controller.zeroAllButton();
    station.clock.advanceBy(100);
    EXPECT_FALSE(station.state.pending.zeroRequest);
    EXPECT_EQ(station.state.readings[59].value, 0);
    station.instrument->scheduleFault(sim::FaultKind::Silent, station.clock.nowMs(), -1);
    station.clock.advanceBy(link::kWatchdogMs + 200);
    ASSERT_EQ(station.prompts.messages.size(), 1u);
    EXPECT_EQ(station.prompts.messages[0], "Device disconnected");
}

TEST(FastMode, AFootSwitchAnswerAsksForARecord) {
    SimulatedStation station(true, 8);
    ASSERT_TRUE(station.connect());
    station.clock.advanceBy(100);
    station.instrument->pressFootSwitch();
    station.clock.advanceBy(100);
    EXPECT_EQ(station.host.recordRequests, 1);
}

}  // namespace
