// Format "01": device information, the zero commands with the unlock code,
// and the address, baud, parity and format-flags registers.
#include <gtest/gtest.h>

#include "link/answers.h"
#include "link/frames.h"
#include "sim/instrument.h"
#include "sim_test_support.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

namespace {
const Bytes kInfoQuery01 = bytesOf(link::deviceInfoQuery(link::DataFormat::Format01));
}

TEST(Instrument01, InformationAnswerCarriesAddressLineAndProbeWord) {
    struct Case {
        int baud;
        uint8_t parity;
        unsigned probes;
        uint8_t baudCode;
        uint16_t probeWord;
    };
    const Case cases[] = {
        {9600, 0, 8, 0, 32},       {19200, 1, 60, 1, 240},
        {38400, 2, 1, 2, 4},       {4800, 0, 64, 3, 0x0100},  // a word of 0x0100 and above
        {115200, 0, 255, 4, 1020},
    };
    for (const Case& c : cases) {
        InstrumentConfig config = config01(c.probes);
        config.address = 200;
        config.baudRate = c.baud;
        config.parityCode = c.parity;
        Instrument instrument(config);
        const Bytes answer = ask(instrument, kInfoQuery01);
        ASSERT_EQ(answer.size(), link::kInfoAnswerLength01) << c.baud;
        EXPECT_EQ(answer[2], 8);  // four registers
        const auto info = link::parseDeviceInfo01(answer.data(), answer.size());
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->address, 200);
        EXPECT_EQ(info->baudCode, c.baudCode);
        EXPECT_EQ(info->parityCode, c.parity);
        EXPECT_EQ(info->probeCountTimes4, c.probeWord);
    }
}

TEST(Instrument01, ZeroCommandsNeedTheUnlockCodeAsData) {
    InstrumentConfig config = config01(3);
    config.probes = {constantProbe(10), constantProbe(20), constantProbe(30)};
    Instrument instrument(config);

    const Bytes zeroThird = bytesOf(link::zeroRequest(link::DataFormat::Format01, 1, 2, false));
    EXPECT_EQ(wordAt(zeroThird, 4), link::kUnlockCode);
    EXPECT_EQ(ask(instrument, zeroThird), zeroThird);
    EXPECT_DOUBLE_EQ(instrument.probes().zeroOffsetUm(2), 30);

    // The plain write a format "FF" single-probe instrument takes is refused.
    const Bytes plain = ask(instrument, request(1, link::kFunctionWrite, 0x0000, 0x0000));
    ASSERT_EQ(plain.size(), 5u);
    EXPECT_EQ(plain[2], static_cast<uint8_t>(ExceptionCode::IllegalDataValue));
    EXPECT_DOUBLE_EQ(instrument.probes().zeroOffsetUm(0), 0);

    const Bytes zeroAll = bytesOf(link::zeroRequest(link::DataFormat::Format01, 1, link::kZeroAllChannels, false));
    EXPECT_EQ(wordAt(zeroAll, 2), link::reg::kZeroAll01);
    EXPECT_EQ(ask(instrument, zeroAll), zeroAll);
    EXPECT_DOUBLE_EQ(instrument.probes().zeroOffsetUm(0), 10);
    EXPECT_EQ(ask(instrument, request(1, link::kFunctionWrite, link::reg::kZeroAll01, 0)).size(), 5u);
}

TEST(Instrument01, ConfigurationWritesNeedNoUnlock) {
    Instrument instrument(config01());
    const Bytes mode = bytesOf(link::displayModeWrite(1, 3));
    EXPECT_EQ(ask(instrument, mode), mode);
    EXPECT_EQ(instrument.displayMode(), DisplayMode::Range);
}

TEST(Instrument01, AddressChangeIsEchoedFromTheOldAddress) {
    Instrument instrument(config01());
    const Bytes write = bytesOf(link::addressWrite(link::DataFormat::Format01, 1, 9));
    EXPECT_EQ(ask(instrument, write), write);
    EXPECT_EQ(instrument.address(), 9);
    EXPECT_EQ(ask(instrument, bytesOf(link::readingsRequest(9, 4)))[0], 9);
}

TEST(Instrument01, BaudAndParityChangeAfterTheirEchoes) {
    InstrumentConfig config = config01();
    config.baudRate = 9600;
    Instrument instrument(config);

    const Bytes baud = bytesOf(link::baudWrite01(1, 2));  // 38400
    const Reply reply = instrument.handleRequest(baud.data(), baud.size(), matchingLine(instrument), 0);
    ASSERT_TRUE(reply.sent);
    EXPECT_EQ(reply.baudRate, 9600);
    EXPECT_EQ(instrument.baudRate(), 38400);
    EXPECT_EQ(instrument.baudCode(), 2);

    const Bytes parity = bytesOf(link::parityWrite01(1, 1));
    EXPECT_EQ(ask(instrument, parity), parity);
    EXPECT_EQ(link::parityOf(instrument.line()), link::Parity::Odd);
    EXPECT_TRUE(instrument.understands(MasterLine::exactly(38400, {1, 0})));
    EXPECT_FALSE(instrument.understands(MasterLine::exactly(38400, {0, 1})));

    EXPECT_EQ(ask(instrument, request(1, link::kFunctionWrite, link::reg::kBaud01, 5)).size(), 5u);
    EXPECT_EQ(ask(instrument, request(1, link::kFunctionWrite, link::reg::kParity01, 3)).size(), 5u);
    EXPECT_EQ(instrument.baudRate(), 38400);
}

TEST(Instrument01, RegistersReadBackWhatWasWritten) {
    Instrument instrument(config01(16));
    const Bytes answer = ask(instrument, request(1, link::kFunctionRead, link::reg::kAddress01, 4));
    ASSERT_EQ(answer.size(), 13u);
    EXPECT_EQ(wordAt(answer, 3), 1);
    EXPECT_EQ(wordAt(answer, 5), 1);  // 19200 is code 1 in this numbering
    EXPECT_EQ(wordAt(answer, 7), 0);
    EXPECT_EQ(wordAt(answer, 9), 64);
}

TEST(Instrument01, FlagsWriteSwitchesTheFormatAfterItsEcho) {
    InstrumentConfig config = config01();
    config.formatFlags = 0x41;  // other bits are kept
    Instrument instrument(config);
    const Bytes read = ask(instrument, bytesOf(link::formatFlagsRead(1)));
    ASSERT_EQ(read.size(), 7u);
    EXPECT_EQ(read[4], 0x43);

    const Bytes write = bytesOf(link::formatFlagsWrite(1, 0x41));
    EXPECT_EQ(ask(instrument, write), write);
    EXPECT_EQ(instrument.format(), link::DataFormat::FormatFF);
    EXPECT_EQ(instrument.formatFlags(), 0x41);
    EXPECT_TRUE(ask(instrument, kInfoQuery01).empty());
}
