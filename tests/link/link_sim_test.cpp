// The link against the simulated instrument in virtual time: bytes take their
// wire time, the instrument answers only at its own line settings, and its
// echoes change it as a real one would.
#include "link_fixture.h"

#include "link/parameter_settings.h"
#include "sim/simulated_ports.h"
#include "support/memory_settings_store.h"

using namespace gaugemon;
using namespace gaugemon::testing;
using link::DataFormat;

namespace {

class LinkOnSimulator : public ::testing::Test {
protected:
    LinkOnSimulator() {
        timers.setTickHandler([this](int id) { controller.onTick(id); });
    }

    sim::Instrument& place(std::string_view port, sim::InstrumentConfig config) {
        return ports.place(port, std::move(config));
    }
    bool connect(int64_t limitMs = 60'000) {
        controller.connectButton();
        return clock.runUntil([&] { return state.connected; }, limitMs);
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    RecordingHost host;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    link::LinkState state;
    core::Language language = core::Language::English;
    link::LinkController controller{state, line, timers, settings, prompts, host, language};
};

TEST_F(LinkOnSimulator, FormatFFAt9600EvenOnCom5IsFoundWhenTheTableSays) {
    settings.writeInt("HW", 2);
    sim::InstrumentConfig config;
    config.baudRate = 9600;
    config.parityCode = 2;
    config.twoStopBits = 0;
    place("COM5", config);
    ports.addEmptyPort("COM2");
    controller.connectButton();
    // COM2 takes its 15 combinations first (759 ms), then COM5 reaches
    // 9600/Even at its ninth combination.
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    EXPECT_EQ(clock.nowMs(), 20 + 759 + 311 + 50);
    EXPECT_EQ(controller.view().commStatus, "COM05 9600,8,E,1");
}

TEST_F(LinkOnSimulator, Format01IsFoundAfterTheFFSweep) {
    sim::InstrumentConfig config;
    config.format = DataFormat::Format01;
    config.baudRate = 38400;
    config.parityCode = 1;
    config.twoStopBits = 0;
    place("COM5", config);
    ASSERT_TRUE(connect());
    EXPECT_EQ(state.dataFormat, DataFormat::Format01);
    EXPECT_EQ(controller.view().commStatus, "COM05 38400,8,O,1");
    EXPECT_EQ(settings.readInt("HW", 0), 1);
}

TEST_F(LinkOnSimulator, SixtyProbesAt115200PollWithoutAMissAndZeroAllReachesThem) {
    sim::InstrumentConfig config;
    config.probeCount = 60;
    config.baudRate = 115200;
    for (unsigned k = 0; k < 60; ++k) config.probes.push_back(sim::constantProbe(100.0 * (k + 1)));
    sim::Instrument& instrument = place("COM3", config);
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 3);
    settings.writeInt("BaudBit", 4);
    ASSERT_TRUE(connect());
    EXPECT_EQ(state.pollPeriodMs, 60 * 4 / 10 + 22 + 20);
    clock.advanceBy(5000);
    EXPECT_EQ(state.missCount + state.errorCount, 0u);
    EXPECT_EQ(state.readings[59].value, 6000);
    // About one cycle per pollPeriodMs - 2 + 15 ms.
    EXPECT_GE(host.displayUpdates, 5000 / (state.pollPeriodMs + 13) - 1);
    controller.zeroAllButton();
    clock.advanceBy(1000);
    EXPECT_FALSE(state.pending.zeroRequest);
    EXPECT_EQ(instrument.probes().zeroOffsetUm(59), 6000.0);
    EXPECT_EQ(state.readings[59].value, 0);
}

TEST_F(LinkOnSimulator, FootSwitchAsksForARecord) {
    place("COM1", {});
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    ports.instrumentAt("COM1")->pressFootSwitch();
    clock.advanceBy(500);
    EXPECT_EQ(host.recordRequests, 1);
}

TEST_F(LinkOnSimulator, ModeWriteIsUnlockedAndTakesEffect) {
    sim::Instrument& instrument = place("COM1", {});
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    state.pending.modeChange = true;
    state.pending.modeIndex = 3;
    state.pending.writeUnlock = true;
    clock.advanceBy(1000);
    EXPECT_EQ(instrument.displayMode(), sim::DisplayMode::Range);
    EXPECT_FALSE(state.pending.modeChange);
}

TEST_F(LinkOnSimulator, SerialSettingsChangeIsFollowedByTheStation) {
    sim::Instrument& instrument = place("COM1", {});
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    state.pending.serialChange = true;
    state.pending.writeUnlock = true;
    state.baudCode = 1;    // 9600
    state.parityCode = 2;  // Even
    state.twoStopBits = 0;
    clock.advanceBy(2000);
    EXPECT_EQ(instrument.baudRate(), 9600);
    EXPECT_EQ(line.baudRate(), 9600);
    const uint32_t misses = state.missCount + state.errorCount;
    clock.advanceBy(3000);
    EXPECT_EQ(state.missCount + state.errorCount, misses);
    EXPECT_EQ(controller.view().commStatus, "COM01  9600,8,E,1");
}

TEST_F(LinkOnSimulator, APulledAdapterIsSurvivedAndReconnected) {
    place("COM4", {});
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 4);
    ASSERT_TRUE(connect());
    clock.advanceBy(1000);
    ports.vanish("COM4");
    clock.advanceBy(7000);
    EXPECT_GT(state.missCount, 10u);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Device disconnected"});
    controller.connectButton();
    EXPECT_FALSE(state.connected);
    ports.reappear("COM4");
    ASSERT_TRUE(connect());
    clock.advanceBy(1000);
    EXPECT_EQ(state.missCount + state.errorCount, 0u);
}

TEST_F(LinkOnSimulator, LineNoiseAndCorruptAnswersAreCountedNotTrusted) {
    sim::InstrumentConfig config;
    config.probes.push_back(sim::constantProbe(500));
    sim::Instrument& instrument = place("COM1", config);
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    instrument.setFaultEvery(sim::FaultKind::CorruptCrc, 3);
    instrument.setFaultEvery(sim::FaultKind::Truncate, 5);
    clock.advanceBy(5000);
    EXPECT_GT(state.errorCount, 0u);
    EXPECT_EQ(state.readings[0].value, 500);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LinkOnSimulator, AModeWriteLeftOverFromTheLastConnectionIsUnlockedAgain) {
    sim::Instrument& instrument = place("COM1", {});
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    controller.connectButton();  // Disconnect with a mode write still pending
    state.pending.modeChange = true;
    state.pending.modeIndex = 1;
    ASSERT_TRUE(connect());  // Connect drops the unlock, the mode write survives
    clock.advanceBy(2000);
    EXPECT_EQ(instrument.displayMode(), sim::DisplayMode::Maximum);
    EXPECT_FALSE(state.pending.modeChange);
    EXPECT_GT(host.displayUpdates, 10);
}

TEST_F(LinkOnSimulator, AlternativeBaudNumberingIsTranslatedBothWays) {
    sim::InstrumentConfig config;
    config.baudRate = 115200;
    config.baudCodeVariant = true;
    sim::Instrument& instrument = place("COM1", config);
    settings.writeInt("HW", 2);
    settings.writeInt("BaudBit", 4);
    ASSERT_TRUE(connect());
    ASSERT_TRUE(state.baudCodeVariant);
    EXPECT_EQ(state.baudCode, 4);
    for (uint8_t code : {3, 0, 4}) {  // 38400, 4800, back to 115200
        state.pending.serialChange = true;
        state.pending.writeUnlock = true;
        state.baudCode = code;
        clock.advanceBy(3000);
        const int rate = link::kBaudTable[code];
        EXPECT_EQ(instrument.baudRate(), rate);
        EXPECT_EQ(line.baudRate(), rate);
        EXPECT_EQ(state.baudCode, code);
        const uint32_t misses = state.missCount;
        clock.advanceBy(3000);
        EXPECT_EQ(state.missCount, misses) << rate;
    }
}

// The dialog's OK with the baud and parity list entries chosen.
void chooseSerial(link::LinkState& state, int baudIndex, int parityIndex) {
    link::ParameterChoice remembered;
    link::ParameterChoice choice = link::fillParameterChoice(state, remembered);
    choice.baudIndex = baudIndex;
    choice.parityIndex = parityIndex;
    ASSERT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::Close);
}

// A format "01" instrument takes its baud rate and its parity on separate
// writes, each after its echo: the station follows both and keeps polling.
TEST_F(LinkOnSimulator, Format01BaudAndParityChangesKeepTheInstrument) {
    sim::InstrumentConfig config;
    config.format = DataFormat::Format01;
    config.baudRate = 19200;
    config.parityCode = 0;
    config.twoStopBits = 0;
    sim::Instrument& instrument = place("COM2", config);
    ASSERT_TRUE(connect());
    chooseSerial(state, 3, 1);  // 9600, Odd
    clock.advanceBy(3000);
    EXPECT_EQ(instrument.baudRate(), 9600);
    EXPECT_EQ(instrument.line().parityCode, 1);
    EXPECT_EQ(line.baudRate(), 9600);
    EXPECT_EQ(line.line().parityCode, 1);
    EXPECT_FALSE(state.pending.serialChange || state.pending.parityChange);
    const uint32_t misses = state.missCount + state.errorCount;
    clock.advanceBy(3000);
    EXPECT_EQ(state.missCount + state.errorCount, misses);
    EXPECT_EQ(controller.view().commStatus, "COM02 9600,8,O,1");
}

// At 4800 the dialog shows 4800, and a new parity alone leaves the rate as it
// is: format "01" can only be told 9600, 19200 or 38400.
TEST_F(LinkOnSimulator, Format01ParityAloneLeavesTheBaudRate) {
    sim::InstrumentConfig config;
    config.format = DataFormat::Format01;
    config.baudRate = 4800;
    config.parityCode = 1;
    config.twoStopBits = 0;
    sim::Instrument& instrument = place("COM1", config);
    ASSERT_TRUE(connect());
    link::ParameterChoice remembered;
    EXPECT_EQ(link::fillParameterChoice(state, remembered).baudIndex, 4);
    chooseSerial(state, 4, 2);  // 4800 as it was, Even
    clock.advanceBy(3000);
    EXPECT_EQ(instrument.baudRate(), 4800);
    EXPECT_EQ(instrument.line().parityCode, 2);
    EXPECT_EQ(line.baudRate(), 4800);
    EXPECT_EQ(line.line().parityCode, 2);
    const uint32_t misses = state.missCount + state.errorCount;
    clock.advanceBy(3000);
    EXPECT_EQ(state.missCount + state.errorCount, misses);
    EXPECT_GT(host.displayUpdates, 10);
    EXPECT_EQ(controller.view().commStatus, "COM01 4800,8,E,1");
    EXPECT_EQ(state.pollPeriodMs, 8 * 96 / 10 + 106 + 20);
}

// Unlock, mode, zero: the echo of a mode write whose data is 0 must not be
// taken for the zero's echo, or the zero is never sent.
TEST_F(LinkOnSimulator, ZeroQueuedBehindARealTimeModeWriteStillReachesTheInstrument) {
    sim::InstrumentConfig config;
    config.probes.push_back(sim::constantProbe(700));
    place("COM1", config);
    settings.writeInt("HW", 2);
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    ASSERT_EQ(state.readings[0].value, 700);
    state.pending.modeChange = true;
    state.pending.modeIndex = 0;
    state.pending.writeUnlock = true;
    controller.zeroAllButton();
    clock.advanceBy(2000);
    EXPECT_FALSE(state.pending.zeroRequest);
    EXPECT_EQ(state.readings[0].value, 0);
}

// Opening the dialog reads the format flags up to twice: when the first
// answer is lost, the second one counts.
TEST_F(LinkOnSimulator, FormatFlagsComeFromTheSecondReadWhenTheFirstAnswerIsLost) {
    sim::InstrumentConfig config;
    config.format = DataFormat::Format01;
    sim::Instrument& instrument = place("COM1", config);
    ASSERT_TRUE(connect());
    link::ParameterChoice remembered;
    link::fillParameterChoice(state, remembered);
    instrument.injectNext(sim::FaultKind::Drop);
    clock.advanceBy(1000);
    EXPECT_EQ(link::formatIndexFromFlags(state.deviceFlags), link::kFormatIndex01);
}

// The language is read at start, after the link was made.
TEST_F(LinkOnSimulator, TheButtonReadsConnectInTheLanguageOfTheMomentWhileDiscoverySearches) {
    ports.addEmptyPort("COM9");
    language = core::Language::Chinese;
    controller.connectButton();
    clock.advanceBy(200);
    EXPECT_FALSE(state.connected);
    EXPECT_EQ(controller.view().connectCaption, "连接设备");
}

}  // namespace
