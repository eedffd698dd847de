// Parameter requests: the frames the dialog's choices cause, in order, and
// what the instrument's echoes change in the station.
#include "link/parameter_settings.h"
#include "scripted_instrument.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

class Parameters : public Polling {
protected:
    link::ParameterChoice remembered;
    link::ParameterChoice open() { return link::fillParameterChoice(state, remembered); }
};

TEST_F(Parameters, FormatFFBaudAndParityChangeReopensThePort) {
    language = core::Language::English;
    settings.writeInt("ComID", 3);
    inst.port = "COM3";
    connect();
    link::ParameterChoice choice = open();
    EXPECT_EQ(choice.baudIndex, 2);  // 19200
    choice.baudIndex = 3;            // 9600
    choice.parityIndex = 2;          // Even
    ASSERT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::Close);
    const int syncs = settings.syncCount();
    clock.advanceBy(2000);
    EXPECT_EQ(settings.syncCount() - syncs, 1) << "baud code and parity of the echo in one write";
    EXPECT_EQ(writeOrder(), (std::vector<uint16_t>{0x7010, 0x3030}));
    EXPECT_EQ(dataOf(writesTo(0x3030)[0]) & 0xFF, 0x21);
    EXPECT_EQ(port.baud(), 9600);
    EXPECT_EQ(port.line().parityCode, 2);
    EXPECT_EQ(controller.view().commStatus, "COM03  9600,8,E,1");
    EXPECT_EQ(settings.readInt("BaudBit", -1), 1);
    EXPECT_EQ(settings.readInt("ParityBit", -1), 2);
    // The instrument follows, so polling goes on without misses.
    const uint32_t misses = state.missCount;
    clock.advanceBy(2000);
    EXPECT_EQ(state.missCount, misses);
}

TEST_F(Parameters, AddressAndBaudTogetherUnlockTwice) {
    connect();
    link::ParameterChoice choice = open();
    choice.baudIndex = 1;  // 38400
    choice.address = 7;
    ASSERT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::Close);
    clock.advanceBy(3000);
    EXPECT_EQ(writeOrder(), (std::vector<uint16_t>{0x7010, 0x3031, 0x7010, 0x3030}));
    EXPECT_EQ(state.deviceAddress, 7);
    EXPECT_EQ(port.baud(), 38400);
}

TEST_F(Parameters, AddressRange) {
    connect();
    link::ParameterChoice choice = open();
    choice.address = 255;
    EXPECT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::AddressOutOfRange);
    choice.address = 0;
    EXPECT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::AddressOutOfRange);
    choice.address = 254;
    EXPECT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::Close);
    EXPECT_EQ(state.pending.newAddress, 254);
}

TEST_F(Parameters, Format01Choosing4800Writes38400) {
    inst.format = link::DataFormat::Format01;
    settings.writeInt("HW", 1);
    settings.writeInt("ComID", 5);
    settings.writeInt("BaudBit", 1);
    place(inst);
    controller.connectButton();
    ASSERT_TRUE(clock.runUntil([&] { return state.connected; }, 10'000));
    link::ParameterChoice choice = open();
    EXPECT_EQ(state.pending.flagsReadsLeft, 2);
    choice.baudIndex = 4;  // 4800
    ASSERT_EQ(link::applyParameterChoice(state, remembered, choice), link::ParameterOk::Close);
    clock.advanceBy(3000);
    ASSERT_EQ(writesTo(0x0201).size(), 1u);
    EXPECT_EQ(dataOf(writesTo(0x0201)[0]), 2);
    EXPECT_EQ(port.baud(), 38400);
    EXPECT_EQ(writesTo(0x0202).size(), 1u);  // the parity follows the baud rate
}

TEST_F(Parameters, FormatFlagsAreReadOnlyWhenTheyAnswer) {
    EXPECT_EQ(link::formatIndexFromFlags(0xFF), -1);
    EXPECT_EQ(link::formatIndexFromFlags(0x02), link::kFormatIndex01);
    EXPECT_EQ(link::formatIndexFromFlags(0x00), link::kFormatIndexFF);
}

}  // namespace
