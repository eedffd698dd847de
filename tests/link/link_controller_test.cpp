// The link's steps against a scripted instrument: discovery order and timing,
// connection texts and settings, the poll cycle's accounting, command order,
// echoes, zero buttons and the watchdog.
#include "scripted_instrument.h"

#include "link/frames.h"

using namespace gaugemon;
using namespace gaugemon::testing;
using link::DataFormat;

namespace {

TEST_F(Discovery, FormatFFInstrumentAt9600EvenIsFoundAtTheNinthCombination) {
    settings.writeInt("HW", 2);
    inst.baud = 9600;
    inst.parity = 2;
    inst.serialByte = 0x21;
    place(inst);
    const int syncs = settings.syncCount();
    controller.connectButton();
    // 20 ms to the first step; on COM5 19200 x3 (37 ms), 38400 x3 (32 ms),
    // then 9600/None and 9600/Odd (52 ms); 9600/Even goes out at 331 ms and its
    // answer is read 50 ms later.
    clock.advanceTo(380);
    EXPECT_FALSE(state.connected);
    clock.advanceTo(381);
    ASSERT_TRUE(state.connected);
    EXPECT_EQ(port.sent.size(), 9u);
    EXPECT_EQ(port.sent.back().baud, 9600);
    EXPECT_EQ(port.sent.back().line.parityCode, 2);
    EXPECT_EQ(controller.view().commStatus, "COM05 9600,8,E,1");
    EXPECT_EQ(controller.view().deviceInfo, "地址:01  数量:08; 查询周期149毫秒");
    EXPECT_EQ(controller.view().messageLine, "连接设备成功!!");
    EXPECT_EQ(settings.readInt("ComID", 0), 5);
    EXPECT_EQ(settings.readInt("BaudBit", 0), 1);
    EXPECT_EQ(settings.readInt("ParityBit", 0), 2);
    EXPECT_EQ(settings.readInt("HW", 0), 2);
    EXPECT_EQ(settings.syncCount() - syncs, 1) << "the four link settings of one connection in one write";
    EXPECT_EQ(host.columns, std::vector<unsigned>{8});
    EXPECT_FALSE(timers.isRunning(core::timer::kDiscovery));
    EXPECT_TRUE(timers.isRunning(core::timer::kRequest));
}

TEST_F(Discovery, ScanStatusNamesFormatAndPort) {
    language = core::Language::English;
    settings.writeInt("HW", 2);
    port.openable.insert("COM3");
    controller.connectButton();
    clock.advanceTo(20);
    EXPECT_EQ(controller.view().messageLine, "HV2,Scanning com3");
}

TEST_F(Discovery, Format01InstrumentIsFoundAfterTheFFSweep) {
    inst.format = DataFormat::Format01;
    place(inst);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 60'000));
    EXPECT_EQ(state.dataFormat, DataFormat::Format01);
    // 15 combinations of COM5 in "FF", then its first "01" query.
    EXPECT_EQ(port.sent.size(), 16u);
    EXPECT_EQ(settings.readInt("HW", 0), 1);
    EXPECT_EQ(controller.view().messageLine, "连接设备成功!");
    EXPECT_EQ(controller.view().commStatus, "COM05 19200,8,N,1");
}

TEST_F(Discovery, StoredPort16IsTriedOnlyByTheFirstAttempt) {
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 16);
    inst.port = "\\\\.\\COM16";
    place(inst);
    controller.connectButton();
    clock.advanceTo(20 + 95);
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(controller.view().commStatus, "COM16 19200,8,N,1");
}

TEST_F(Discovery, Port16IsNeverSweptAndFailureIsReportedOnce) {
    settings.writeInt("HW", 2);
    inst.port = "\\\\.\\COM16";
    place(inst);
    controller.connectButton();
    clock.advanceBy(120'000);
    EXPECT_FALSE(state.connected);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"找不到可用设备!"});
    EXPECT_EQ(controller.view().messageLine, "扫描设备失败!");
    EXPECT_FALSE(timers.isRunning(core::timer::kDiscovery));
}

TEST_F(Discovery, LastPortOfThe01SweepFailingReportsOnce) {
    inst.port = "\\\\.\\COM15";
    inst.silent = true;
    place(inst);
    controller.connectButton();
    clock.advanceBy(120'000);
    EXPECT_EQ(prompts.messages.size(), 1u);
    // 15 combinations in each format on COM15.
    EXPECT_EQ(port.sent.size(), 30u);
    // Nothing reads a port after a failed search, so none is left open.
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(state.portOpen);
}

TEST_F(Discovery, OutOfRangeStoredPortAndBaudStartOnCom1At19200) {
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 17);
    settings.writeInt("BaudBit", 7);
    port.openable.insert("COM1");
    controller.connectButton();
    clock.advanceTo(20);
    ASSERT_FALSE(port.sent.empty());
    EXPECT_EQ(port.sent.front().port, "COM1");
    EXPECT_EQ(port.sent.front().baud, 19200);
}

TEST_F(Discovery, StoredFormat01BaudCodeIsTranslated) {
    settings.writeInt("HW", 1);
    settings.writeInt("BaudBit", 2);  // 38400 in format "01" numbering
    port.openable.insert("COM1");
    controller.connectButton();
    clock.advanceTo(20);
    ASSERT_FALSE(port.sent.empty());
    EXPECT_EQ(port.sent.front().baud, 38400);
}

TEST_F(Discovery, ProbeCountsAreClampedToWhatCanBePolled) {
    settings.writeInt("HW", 2);
    inst.probes = 75;
    place(inst);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    EXPECT_EQ(state.probeCount, 60u);
    clock.advanceBy(20);
    EXPECT_EQ(dataOf(port.sent.back().bytes), 120);
    EXPECT_EQ(controller.view().deviceInfo.find("数量:60") != std::string::npos, true);
}

// A baud code the station does not know polls at the pace of the rate it
// found the instrument at, the same at every connection.
TEST_F(Discovery, UnknownBaudCodePollsAtTheRateTheInstrumentWasFoundAt) {
    settings.writeInt("HW", 2);
    inst.serialByte = 0x07;
    place(inst);
    for (int connection = 0; connection < 3; ++connection) {
        controller.connectButton();
        ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
        EXPECT_EQ(state.pollPeriodMs, 8 * 24 / 10 + 47 + 20) << connection;
        controller.connectButton();
    }
}

TEST_F(Discovery, ZeroProbesReportedPollsOne) {
    settings.writeInt("HW", 2);
    inst.probes = 0;
    place(inst);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    EXPECT_EQ(state.probeCount, 1u);
}

TEST_F(Discovery, Format01ProbeWordAbove255Polls60) {
    inst.format = DataFormat::Format01;
    place(inst);
    settings.writeInt("ComID", 5);
    settings.writeInt("BaudBit", 1);
    controller.connectButton();
    inst.probes = 0;  // the script multiplies; give the word directly instead
    port.answer = [&](const ScriptedPort::Sent& s) -> std::vector<uint8_t> {
        if (s.bytes[0] == 0xFF) return infoAnswer01(1, 1, 0, 0x0100);
        return {};
    };
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 60'000));
    EXPECT_EQ(state.probeCount, 60u);
}

TEST_F(Discovery, BaudCode0At115200IsTheVariantNumbering) {
    settings.writeInt("HW", 2);
    settings.writeInt("BaudBit", 4);
    inst.baud = 115200;
    inst.serialByte = 0x00;
    place(inst);
    settings.writeInt("ComID", 5);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    EXPECT_EQ(state.baudCode, 4);
    EXPECT_TRUE(state.baudCodeVariant);
}

TEST_F(Polling, CycleLastsPollPeriodMinus2Plus15) {
    connect(60);
    EXPECT_EQ(state.pollPeriodMs, 60 * 24 / 10 + 47 + 20);
    clock.advanceBy(15);  // first request
    const size_t before = port.sent.size();
    clock.advanceBy(10 * (state.pollPeriodMs - 2 + 15));
    EXPECT_EQ(port.sent.size() - before, 10u);
    EXPECT_EQ(state.readings[59].value, 1234);
    EXPECT_EQ(host.displayUpdates, 10);
    EXPECT_EQ(state.missCount, 0u);
}

TEST_F(Polling, MissesAreCountedAndShownWithThreeDigits) {
    language = core::Language::English;
    connect();
    clock.advanceBy(1000);
    inst.silent = true;
    clock.runUntil([&] { return state.missCount == 12; }, 60'000);
    EXPECT_EQ(controller.view().messageLine, "Error：000 Miss:012");
}

TEST_F(Polling, AThousandMissesShowAboveNineHundredNinetyNine) {
    language = core::Language::English;
    connect();
    inst.silent = true;
    // The request frame keeps going out every 1233 ms fallback-free cycle.
    for (int i = 0; i < 1001; ++i) clock.advanceBy(state.pollPeriodMs - 2 + 15);
    EXPECT_EQ(controller.view().messageLine, "Error：000 Miss:>999");
    EXPECT_EQ(state.missCount, 999u);
}

TEST_F(Polling, CorruptAnswersAreErrors) {
    connect();
    port.answer = [&](const ScriptedPort::Sent& s) {
        auto bytes = readingsAnswer(1, 8, 5);
        bytes.back() ^= 0xFF;
        (void)s;
        return bytes;
    };
    clock.runUntil([&] { return state.errorCount == 3; }, 10'000);
    EXPECT_EQ(controller.view().messageLine, "误码：003 漏码：000");
}

TEST_F(Polling, AnswerFromAnotherAddressIsValidButIgnored) {
    connect();
    clock.advanceBy(500);
    port.answer = [](const ScriptedPort::Sent&) { return readingsAnswer(2, 8, 777); };
    clock.advanceBy(2000);
    EXPECT_EQ(state.readings[0].value, 1234);
    EXPECT_EQ(state.errorCount + state.missCount, 0u);
}

TEST_F(Polling, RecordRequestOfTheInstrumentIsHandedOn) {
    connect();
    port.answer = [](const ScriptedPort::Sent& s) {
        return s.bytes[1] == 0x03 ? readingsAnswer(1, 8, 5, 0x83) : std::vector<uint8_t>{};
    };
    clock.advanceBy(300);
    EXPECT_GE(host.recordRequests, 1);
}

TEST_F(Polling, UnlockModeAndZeroGoOutInOrderOnePerEcho) {
    connect();
    state.pending.zeroRequest = true;
    state.pending.zeroChannel = link::kZeroAllChannels;
    state.pending.modeChange = true;
    state.pending.modeIndex = 1;
    state.pending.writeUnlock = true;
    clock.advanceBy(2000);
    EXPECT_EQ(writeOrder(), (std::vector<uint16_t>{0x7010, 0x3036, 0x01FF}));
    EXPECT_FALSE(state.pending.zeroRequest || state.pending.modeChange || state.pending.writeUnlock);
}

// The records count the age of the readings in poll cycles: every request
// is one, and a command the instrument answered asked for no readings.
TEST_F(Polling, EveryRequestIsToldAndOnlyACommandTheInstrumentAnsweredCountsAsAnswered) {
    connect();
    const size_t before = port.sent.size();
    state.pending.modeChange = true;
    state.pending.modeIndex = 1;
    clock.advanceBy(2000);
    EXPECT_EQ(static_cast<size_t>(host.requests), port.sent.size() - before);
    EXPECT_EQ(host.commandsAnswered, 1) << "the readings answers are readings, not commands";

    inst.silent = true;
    state.pending.modeChange = true;
    clock.advanceBy(2000);
    EXPECT_EQ(static_cast<size_t>(host.requests), port.sent.size() - before);
    EXPECT_EQ(host.commandsAnswered, 1) << "a command repeated into a silence is no answer";
}

TEST_F(Polling, ALostEchoRepeatsTheFrame) {
    connect();
    inst.dropEchoes = 1;
    state.pending.modeChange = true;
    state.pending.modeIndex = 2;
    clock.advanceBy(2000);
    EXPECT_EQ(writesTo(0x3036).size(), 2u);
    EXPECT_FALSE(state.pending.modeChange);
}

TEST_F(Polling, AWriteTheInstrumentRefusesIsGivenUpAndTheReadingsGoOn) {
    connect();
    clock.advanceBy(300);
    const auto instrument = port.answer;
    port.answer = [instrument](const ScriptedPort::Sent& s) -> std::vector<uint8_t> {
        if (s.bytes[1] == 0x06 && registerOf(s.bytes) == 0x3036) return withCrc({0x01, 0x86, 0x02});
        return instrument(s);
    };
    state.pending.modeChange = true;
    state.pending.modeIndex = 3;
    state.pending.writeUnlock = true;
    clock.advanceBy(2000);
    EXPECT_EQ(writesTo(0x3036).size(), 3u);
    EXPECT_EQ(writesTo(0x7010).size(), 3u);
    EXPECT_FALSE(state.pending.modeChange);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"仪器未接受该设置!"});
    const int updates = host.displayUpdates;
    clock.advanceBy(1000);
    EXPECT_GT(host.displayUpdates, updates);
}

// The instrument counts as lost from the watchdog's report until it answers again.
TEST_F(Polling, WatchdogReportsOncePerSilence) {
    connect();
    clock.advanceBy(1000);
    inst.silent = true;
    clock.advanceBy(4000);
    EXPECT_FALSE(controller.instrumentLost());
    clock.advanceBy(8000);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"设备已断开连接!"});
    EXPECT_TRUE(controller.instrumentLost());
    inst.silent = false;
    clock.advanceBy(2000);
    EXPECT_FALSE(controller.instrumentLost());
    inst.silent = true;
    clock.advanceBy(6000);
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_TRUE(state.connected);
}

TEST_F(Polling, AnInstrumentSilentFromTheConnectionOnIsReported) {
    connect();
    inst.silent = true;
    clock.advanceBy(6000);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"设备已断开连接!"});
}

// Polling goes on inside the workpiece-code dialog; when the dialog closes
// with a request out, that request's answer is still read and counted.
TEST_F(Polling, ADialogInTheCodeStepCostsNoAnswer) {
    connect();
    clock.advanceBy(300);
    for (int dialogMs = 3000; dialogMs < 3100; dialogMs += 7) {
        bool shown = false;
        host.onCodeStep = [&] {
            if (shown) return;
            shown = true;
            clock.advanceBy(dialogMs);
        };
        clock.advanceBy(4000);
        ASSERT_TRUE(shown);
    }
    EXPECT_EQ(state.missCount + state.errorCount, 0u);
}

TEST_F(Polling, VanishedPortIsCountedAndAReconnectWorks) {
    connect();
    clock.advanceBy(500);
    port.close();  // the adapter is pulled out
    clock.advanceBy(6000);
    EXPECT_GT(state.missCount, 0u);
    EXPECT_EQ(prompts.messages.size(), 1u);
    controller.connectButton();  // Disconnect
    EXPECT_FALSE(state.connected);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(controller.view().connectCaption, "连接设备");
    controller.connectButton();  // Connect
    EXPECT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
}

TEST_F(Polling, DisconnectStopsTheCycle) {
    connect();
    clock.advanceBy(500);
    controller.connectButton();
    const size_t sent = port.sent.size();
    clock.advanceBy(5000);
    EXPECT_EQ(port.sent.size(), sent);
    EXPECT_EQ(controller.view().commStatus, "  ");
    EXPECT_TRUE(controller.view().codeEntryEnabled);
    EXPECT_FALSE(controller.view().parametersEnabled);
}

class ZeroButtons : public Polling {};

TEST_F(ZeroButtons, NeedAConnection) {
    controller.zeroAllButton();
    controller.zeroSingleButton(3);
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"请先连接设备!", "请先连接设备!"}));
    EXPECT_FALSE(state.pending.zeroRequest);
}

TEST_F(ZeroButtons, SingleProbeOfFormatFF) {
    connect();
    controller.zeroSingleButton(3);
    clock.advanceBy(1000);
    ASSERT_EQ(writesTo(0x0004).size(), 1u);
    EXPECT_EQ(dataOf(writesTo(0x0004)[0]), 0x0000);
}

TEST_F(ZeroButtons, ProbeZeroDoesNothingAndBeyondTheProbesIsRefused) {
    connect();
    controller.zeroSingleButton(0);
    EXPECT_TRUE(prompts.messages.empty());
    controller.zeroSingleButton(9);
    EXPECT_EQ(prompts.messages.size(), 1u);
    controller.zeroSingleButton(257);  // would wrap to probe 1 in one byte
    EXPECT_FALSE(state.pending.zeroRequest);
    clock.advanceBy(1000);
    EXPECT_TRUE(writeOrder().empty());
}

TEST_F(ZeroButtons, SingleProbeInstrumentZeroesRegister0WithBothButtons) {
    connect(1);
    controller.zeroAllButton();
    clock.advanceBy(500);
    controller.zeroSingleButton(1);
    clock.advanceBy(500);
    EXPECT_EQ(writeOrder(), (std::vector<uint16_t>{0x0000, 0x0000}));
}

TEST_F(ZeroButtons, Format01SendsTheUnlockCode) {
    inst.format = DataFormat::Format01;
    settings.writeInt("HW", 1);
    settings.writeInt("ComID", 5);
    settings.writeInt("BaudBit", 1);
    place(inst);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    controller.zeroAllButton();
    clock.advanceBy(1000);
    ASSERT_EQ(writesTo(0x0800).size(), 1u);
    EXPECT_EQ(dataOf(writesTo(0x0800)[0]), link::kUnlockCode);
    EXPECT_FALSE(state.pending.zeroRequest);
}

}  // namespace
