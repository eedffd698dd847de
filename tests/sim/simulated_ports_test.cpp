// The in-process line: which names open, when bytes become readable, which
// line settings the instrument understands, purging, vanishing ports.
#include <gtest/gtest.h>

#include "link/frames.h"
#include "sim/simulated_ports.h"
#include "sim_test_support.h"
#include "support/virtual_time.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

namespace {

constexpr link::LineSettings kNoneTwoStop{0, 1};

class SimulatedLineTest : public ::testing::Test {
protected:
    Bytes readAll() {
        Bytes out(1024);
        out.resize(line.readAvailable(out.data(), out.size()));
        return out;
    }
    void send(const Bytes& frame) { ASSERT_EQ(line.writeFrame(frame.data(), frame.size()), 0); }

    core::VirtualTime time;
    SimulatedPorts ports{time};
    SimulatedLine line{ports};
};

}  // namespace

TEST_F(SimulatedLineTest, OnlyPlacedPortsOpen) {
    ports.place("COM5", configFF());
    ports.place("COM12", configFF());
    ports.addEmptyPort("COM2");
    EXPECT_EQ(line.openPort("COM1", 19200, kNoneTwoStop), -1);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(line.openPort("COM2", 19200, kNoneTwoStop), 0);
    EXPECT_EQ(line.instrument(), nullptr);
    EXPECT_EQ(line.openPort("\\\\.\\COM12", 19200, kNoneTwoStop), 0);
    EXPECT_EQ(line.instrument(), ports.instrumentAt("COM12"));
    EXPECT_EQ(line.openPort("COM5", 19200, kNoneTwoStop), 0);

    SimulatedLine other(ports);
    EXPECT_EQ(other.openPort("COM5", 19200, kNoneTwoStop), -1);  // no sharing
    line.close();
    EXPECT_EQ(other.openPort("COM5", 19200, kNoneTwoStop), 0);
}

TEST_F(SimulatedLineTest, AnswerBytesArriveAfterTheirWireTime) {
    ports.place("COM3", configFF(4));  // 19200 baud, 11 bits a character: 573 us
    ASSERT_EQ(line.openPort("COM3", 19200, kNoneTwoStop), 0);
    send(bytesOf(link::readingsRequest(1, 4)));
    // Request 8 x 573 us, turnaround 3 ms, then 21 answer bytes of 573 us.
    time.advanceTo(8);
    EXPECT_EQ(line.bytesWaiting(), 0u);
    EXPECT_EQ(line.readAvailable(nullptr, 0), 0u);
    time.advanceTo(9);
    EXPECT_EQ(readAll().size(), 2u);
    time.advanceTo(19);
    EXPECT_EQ(readAll().size(), 17u);
    EXPECT_EQ(line.bytesInFlight(), 2u);
    EXPECT_EQ(line.lastArrivalMs(), 20);
    time.advanceTo(20);
    EXPECT_EQ(readAll().size(), 2u);
    EXPECT_EQ(line.bytesInFlight(), 0u);
}

TEST_F(SimulatedLineTest, OneReadTakesAtMostItsCapacity) {
    ports.place("COM3", configFF(60));
    ASSERT_EQ(line.openPort("COM3", 115200, kNoneTwoStop), -0);
    line.setBaudRate(19200, kNoneTwoStop);
    send(bytesOf(link::readingsRequest(1, 60)));
    time.advanceBy(500);
    Bytes buffer(300);
    EXPECT_EQ(line.readAvailable(buffer.data(), 100), 100u);
    EXPECT_EQ(line.readAvailable(buffer.data(), 300), 145u);
}

TEST_F(SimulatedLineTest, InstrumentUnderstandsOnlyItsLineSettings) {
    struct Case {
        int baud;
        link::LineSettings line;
        bool strict;
        bool answered;
    };
    const Case cases[] = {
        {19200, {0, 1}, false, true},  {9600, {0, 1}, false, false},
        {38400, {0, 1}, false, false}, {19200, {1, 0}, false, false},
        {19200, {2, 0}, false, false}, {19200, {0, 0}, false, true},  // one stop bit less does not garble a UART
        {19200, {0, 0}, true, false},  {19200, {0, 1}, true, true},
    };
    for (const Case& c : cases) {
        InstrumentConfig config = configFF();
        config.strictStopBits = c.strict;
        ports.place("COM4", config);
        ASSERT_EQ(line.openPort("COM4", c.baud, c.line), 0);
        send(bytesOf(link::deviceInfoQuery(link::DataFormat::FormatFF)));
        time.advanceBy(100);
        EXPECT_EQ(readAll().size(), c.answered ? 11u : 0u) << c.baud << " parity " << int{c.line.parityCode};
        line.close();
    }
}

TEST_F(SimulatedLineTest, SweepFindsTheInstrumentOnlyWhereItIs) {
    InstrumentConfig config = config01();
    config.baudRate = 38400;
    config.parityCode = 2;
    ports.place("COM5", config);
    ports.addEmptyPort("COM1");
    const Bytes query = bytesOf(link::deviceInfoQuery(link::DataFormat::Format01));
    std::vector<std::string> found;
    for (unsigned index = 1; index <= 15; ++index) {
        const std::string name(link::portName(index));
        if (line.openPort(name, 19200, kNoneTwoStop) != 0) continue;
        for (const int baud : {19200, 38400, 9600, 115200, 4800}) {
            for (const link::LineSettings setting : {link::LineSettings{0, 1}, {1, 0}, {2, 0}}) {
                line.setBaudRate(baud, setting);
                send(query);
                time.advanceBy(100);
                if (readAll().size() == 13u)
                    found.push_back(name + " " + std::to_string(baud) + " " + std::to_string(setting.parityCode));
            }
        }
    }
    EXPECT_EQ(found, std::vector<std::string>{"COM5 38400 2"});
    const auto failed = std::count_if(ports.events().begin(), ports.events().end(),
                                      [](const PortEvent& e) { return e.kind == PortEvent::Kind::OpenFailed; });
    EXPECT_EQ(failed, 13);
}

TEST_F(SimulatedLineTest, WriteDropsArrivedBytesButNotThoseStillOnTheirWay) {
    InstrumentConfig config = configFF(4);
    config.faults.lateByMs = 50;
    ports.place("COM3", config);
    ASSERT_EQ(line.openPort("COM3", 19200, kNoneTwoStop), 0);
    const Bytes read = bytesOf(link::readingsRequest(1, 4));

    send(read);
    time.advanceBy(30);
    send(read);  // the first answer has arrived unread: dropped
    time.advanceBy(30);
    EXPECT_EQ(readAll().size(), 21u);

    ports.instrumentAt("COM3")->injectNext(FaultKind::Late);
    send(read);
    time.advanceBy(30);
    EXPECT_TRUE(readAll().empty());
    send(read);  // the late answer is still on its way: it arrives ahead of this one
    time.advanceBy(100);
    const Bytes both = readAll();
    ASSERT_EQ(both.size(), 42u);
    EXPECT_TRUE(std::equal(both.begin(), both.begin() + 21, both.begin() + 21));
}

TEST_F(SimulatedLineTest, SerialSettingsEchoComesAtTheOldBaudRate) {
    ports.place("COM3", configFF());
    ASSERT_EQ(line.openPort("COM3", 19200, kNoneTwoStop), 0);
    send(bytesOf(link::unlockWrite(1)));
    time.advanceBy(30);
    EXPECT_EQ(readAll().size(), 8u);
    const Bytes serial = bytesOf(link::serialSettingsWriteFF(1, 0, 1, 3));  // 38400, odd
    send(serial);
    time.advanceBy(30);
    EXPECT_EQ(readAll(), serial);

    send(bytesOf(link::readingsRequest(1, 4)));
    time.advanceBy(30);
    EXPECT_TRUE(readAll().empty());
    line.setBaudRate(38400, {1, 0});
    send(bytesOf(link::readingsRequest(1, 4)));
    time.advanceBy(30);
    EXPECT_EQ(readAll().size(), 21u);
}

TEST_F(SimulatedLineTest, AnswerHeardAtAnotherBaudRateIsRubbish) {
    ports.place("COM3", configFF(4));
    ASSERT_EQ(line.openPort("COM3", 19200, kNoneTwoStop), 0);
    const Bytes read = bytesOf(link::readingsRequest(1, 4));
    send(read);
    time.advanceBy(30);
    const Bytes clean = readAll();
    send(read);
    line.setBaudRate(9600, kNoneTwoStop);
    time.advanceBy(30);
    const Bytes garbled = readAll();
    ASSERT_EQ(garbled.size(), clean.size());
    EXPECT_NE(garbled, clean);
}

TEST_F(SimulatedLineTest, VanishedPortFailsAndCannotBeOpened) {
    Instrument& instrument = ports.place("COM7", configFF());
    ASSERT_EQ(line.openPort("COM7", 19200, kNoneTwoStop), 0);
    send(bytesOf(link::readingsRequest(1, 4)));
    ports.vanish("COM7");
    time.advanceBy(30);
    EXPECT_TRUE(readAll().empty());
    EXPECT_FALSE(line.isOpen());
    const Bytes read = bytesOf(link::readingsRequest(1, 4));
    EXPECT_EQ(line.writeFrame(read.data(), read.size()), -1);
    EXPECT_EQ(line.openPort("COM7", 19200, kNoneTwoStop), -1);
    ports.reappear("COM7");
    EXPECT_EQ(line.openPort("COM7", 19200, kNoneTwoStop), 0);

    // The instrument's own schedule: gone from 1 s to 2 s of virtual time.
    instrument.scheduleFault(FaultKind::Vanish, time.nowMs() + 1000, time.nowMs() + 2000);
    time.advanceBy(1000);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(line.writeFrame(read.data(), read.size()), -1);
    time.advanceBy(1000);
    EXPECT_EQ(line.openPort("COM7", 19200, kNoneTwoStop), 0);
    send(read);
    time.advanceBy(30);
    EXPECT_EQ(readAll().size(), 21u);
}

TEST_F(SimulatedLineTest, InjectedNoiseArrivesAtItsTime) {
    ports.addEmptyPort("COM1");
    ASSERT_EQ(line.openPort("COM1", 9600, kNoneTwoStop), 0);
    const Bytes noise{0x55, 0xAA, 0x00};
    line.injectNoise(noise.data(), noise.size(), 100);
    time.advanceTo(100);
    EXPECT_TRUE(readAll().empty());
    time.advanceTo(104);  // 3 characters of 1146 us
    EXPECT_EQ(readAll(), noise);
}
