// The parts of the gaugesim program that need no pseudo-terminal: the command
// line, the line settings read from termios flags, frames cut by silence.
#include <gtest/gtest.h>

#include "sim/frame_assembler.h"
#include "sim/observed_line.h"
#include "sim/options.h"

using namespace gaugemon;
using namespace gaugemon::sim;

namespace {
ParsedOptions parse(std::vector<std::string_view> args) {
    args.insert(args.begin(), {"--port-dir", "/tmp/ports"});
    return parseOptions(args);
}
}  // namespace

TEST(GaugesimOptions, TheRunScriptsCommandLine) {
    const ParsedOptions parsed = parse({"--port", "COM3", "--probes", "8", "--format", "FF", "--baud", "19200"});
    ASSERT_EQ(parsed.error, "");
    const InstrumentConfig& c = parsed.options.instrument;
    EXPECT_EQ(parsed.options.portName, "COM3");
    EXPECT_EQ(c.format, link::DataFormat::FormatFF);
    EXPECT_EQ(c.probeCount, 8u);
    EXPECT_EQ(c.baudRate, 19200);
    ASSERT_EQ(c.probes.size(), 8u);
    // Probes without a signal of their own move, each differently.
    EXPECT_EQ(c.probes[0].signal.kind, SignalKind::Sine);
    EXPECT_NE(c.probes[0].signal.periodMs, c.probes[1].signal.periodMs);
}

TEST(GaugesimOptions, SignalsFineProbesAndFaults) {
    const ParsedOptions parsed = parse({"--probes",        "6",           "--signal",    "ramp:10:100:500", "--signal",
                                        "2,4-5=step:-3:6", "--fine",      "5-6",         "--fault",         "drop=0.25",
                                        "--fault",         "crc=every:7", "--fault",     "silent=at:30+5",  "--fault",
                                        "vanish=at:60",    "--fault",     "late=next:2", "--late-ms",       "900"});
    ASSERT_EQ(parsed.error, "");
    const InstrumentConfig& c = parsed.options.instrument;
    EXPECT_EQ(c.probes[0].signal.kind, SignalKind::Ramp);
    EXPECT_DOUBLE_EQ(c.probes[0].signal.amplitudeUm, 100);
    EXPECT_EQ(c.probes[0].signal.periodMs, 500);
    for (const unsigned k : {1u, 3u, 4u}) EXPECT_EQ(c.probes[k].signal.kind, SignalKind::Step) << k;
    EXPECT_DOUBLE_EQ(c.probes[1].signal.levelUm, -3);
    EXPECT_EQ(c.probes[2].signal.kind, SignalKind::Ramp);
    EXPECT_FALSE(c.probes[3].fine);
    EXPECT_TRUE(c.probes[4].fine);
    EXPECT_TRUE(c.probes[5].fine);
    EXPECT_DOUBLE_EQ(c.faults[FaultKind::Drop].rate, 0.25);
    EXPECT_EQ(c.faults[FaultKind::CorruptCrc].every, 7u);
    EXPECT_EQ(c.faults[FaultKind::Silent].fromMs, 30000);
    EXPECT_EQ(c.faults[FaultKind::Silent].untilMs, 35000);
    EXPECT_EQ(c.faults[FaultKind::Vanish].untilMs, -1);
    EXPECT_EQ(c.faults[FaultKind::Late].next, 2u);
    EXPECT_EQ(c.faults.lateByMs, 900);
}

TEST(GaugesimOptions, PortNames) {
    EXPECT_EQ(canonicalPortName("COM3"), "COM3");
    EXPECT_EQ(canonicalPortName("com12"), "COM12");
    EXPECT_EQ(canonicalPortName("\\\\.\\COM16"), "COM16");
    // COM0 and ports above COM16 are names the station never opens.
    for (const char* bad : {"COM", "COMX", "COM-1", "COM+1", "COM0", "COM17", "COM256", "TTY1", "COM1/../x", ""}) {
        EXPECT_EQ(canonicalPortName(bad), "") << bad;
    }
}

TEST(GaugesimOptions, BadValuesAreNamed) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--probes", "0"},
        {"--probes", "256"},
        {"--address", "255"},
        {"--baud", "14400"},
        {"--parity", "mark"},
        {"--format", "02"},
        {"--port", "LPT1"},
        {"--signal", "square"},
        {"--signal", "9=constant:1"},
        {"--signal", "sine:x"},
        {"--fine", "0"},
        {"--fault", "drop=1.5"},
        {"--fault", "boom=0.1"},
        {"--fault", "drop=every:0"},
        {"--fault", "silent=at:x"},
        {"--stop-bits", "3"},
        {"--turnaround", "-1"},
        {"--probes"},
        {"--frobnicate", "1"},
        {"--signal", "constant:nan"},
        {"--foot-switch-every", "nan"},
        {"--turnaround", "inf"},
    };
    for (const auto& args : bad) {
        EXPECT_NE(parse(args).error, "") << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

TEST(ObservedLine, PseudoTerminalFlagsKeepTheThreeParitiesApart) {
    struct Case {
        tcflag_t flags;
        uint8_t parities;
    };
    const uint8_t none = parityBit(link::Parity::None);
    const uint8_t odd = parityBit(link::Parity::Odd);
    const uint8_t even = parityBit(link::Parity::Even);
    const Case cases[] = {
        {CSTOPB, none},  // discovery's no-parity step
        {PARODD, static_cast<uint8_t>(odd | none)},
        {0, static_cast<uint8_t>(even | none)},
        {CSTOPB | PARODD, none},  // odd flag left over from an earlier odd setting
        {PARENB | PARODD, odd},   // a kernel that shows parity enable
        {PARENB, even},
    };
    for (const Case& c : cases) {
        const MasterLine line = observedLine(c.flags, B38400);
        EXPECT_EQ(line.parities, c.parities) << c.flags;
        EXPECT_EQ(line.baudRate, 38400);
    }
    EXPECT_EQ(observedLine(0, B115200).baudRate, 115200);
    EXPECT_EQ(observedLine(0, B0).baudRate, 0);
}

TEST(FrameAssembler, FramesEndAtSilence) {
    FrameAssembler frames;
    const uint8_t first[] = {1, 3, 0, 0};
    const uint8_t second[] = {0, 8, 0x44, 0x0C};
    frames.add(first, 4, 1000);
    frames.add(second, 4, 1500);
    EXPECT_FALSE(frames.take(3400, 2000));
    EXPECT_EQ(frames.completesAtUs(2000), 3500);
    ASSERT_TRUE(frames.take(3500, 2000));
    EXPECT_EQ(frames.frameLength(), 8u);
    EXPECT_EQ(frames.frameStartUs(), 1000);
    EXPECT_FALSE(frames.frameOverflowed());
    EXPECT_EQ(frames.completesAtUs(2000), -1);

    std::vector<uint8_t> flood(FrameAssembler::kCapacity + 10, 0x55);
    frames.add(flood.data(), flood.size(), 10000);
    ASSERT_TRUE(frames.take(20000, 2000));
    EXPECT_TRUE(frames.frameOverflowed());
    EXPECT_EQ(frames.frameLength(), FrameAssembler::kCapacity);
}
