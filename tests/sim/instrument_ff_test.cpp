// Format "FF": device information, the unlock rule, address and serial
// settings writes and the zero commands, each checked against the answer
// the station expects and the effect it relies on.
#include <gtest/gtest.h>

#include "link/answers.h"
#include "link/frames.h"
#include "sim/instrument.h"
#include "sim_test_support.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

namespace {

const Bytes kInfoQueryFF = bytesOf(link::deviceInfoQuery(link::DataFormat::FormatFF));
const Bytes kInfoQuery01 = bytesOf(link::deviceInfoQuery(link::DataFormat::Format01));

Bytes unlock(uint8_t address = 1) { return bytesOf(link::unlockWrite(address)); }

}  // namespace

TEST(InstrumentFF, InformationAnswerCarriesAddressProbesAndLine) {
    struct Case {
        int baud;
        uint8_t parity;
        uint8_t twoStop;
        unsigned probes;
        bool variant;
        uint8_t serialByte;
    };
    const Case cases[] = {
        {19200, 0, 1, 8, false, 0x02}, {9600, 2, 0, 12, false, 0x21},
        {4800, 1, 0, 60, false, 0x10}, {115200, 0, 1, 75, false, 0x04},  // more probes than the station polls
        {115200, 0, 1, 1, true, 0x00},                                   // the variant numbering reports 115200 as 0
        {38400, 2, 0, 3, true, 0x24},                                    // ... and 38400 as 4
    };
    for (const Case& c : cases) {
        InstrumentConfig config = configFF(c.probes);
        config.address = 37;
        config.baudRate = c.baud;
        config.parityCode = c.parity;
        config.twoStopBits = c.twoStop;
        config.baudCodeVariant = c.variant;
        Instrument instrument(config);
        const Bytes answer = ask(instrument, kInfoQueryFF);
        ASSERT_EQ(answer.size(), link::kInfoAnswerLengthFF) << c.baud;
        EXPECT_EQ(answer[0], 37);
        EXPECT_EQ(answer[1], link::kFunctionRead);
        EXPECT_EQ(answer[2], 6);  // three registers
        const auto info = link::parseDeviceInfoFF(answer.data(), answer.size());
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->twoStopBits, c.twoStop);
        EXPECT_EQ(info->serialByte, c.serialByte);
        EXPECT_EQ(info->probeCount, c.probes);
        EXPECT_EQ(info->address, 37);
    }
}

TEST(InstrumentFF, AnswersOnlyItsOwnFormatsQuery) {
    Instrument ff(configFF());
    EXPECT_TRUE(ask(ff, kInfoQuery01).empty());
    Instrument f01(config01());
    EXPECT_TRUE(ask(f01, kInfoQueryFF).empty());
    EXPECT_EQ(ask(f01, kInfoQuery01).size(), link::kInfoAnswerLength01);
}

TEST(InstrumentFF, ConfigurationWritesNeedTheUnlockEachTime) {
    Instrument instrument(configFF());
    const Bytes mode = bytesOf(link::displayModeWrite(1, 2));

    // Without the unlock: refused, nothing changes.
    const Bytes refused = ask(instrument, mode);
    ASSERT_EQ(refused.size(), 5u);
    EXPECT_EQ(refused[1], 0x86);
    EXPECT_EQ(refused[2], static_cast<uint8_t>(ExceptionCode::DeviceFailure));
    EXPECT_EQ(instrument.displayMode(), DisplayMode::RealTime);

    // The unlock is echoed as sent, then the write is echoed and applied.
    EXPECT_EQ(ask(instrument, unlock()), unlock());
    EXPECT_TRUE(instrument.unlocked());
    EXPECT_EQ(ask(instrument, mode), mode);
    EXPECT_EQ(instrument.displayMode(), DisplayMode::Minimum);

    // One unlock, one configuration write.
    EXPECT_FALSE(instrument.unlocked());
    EXPECT_EQ(ask(instrument, bytesOf(link::displayModeWrite(1, 3))).size(), 5u);
    EXPECT_EQ(instrument.displayMode(), DisplayMode::Minimum);
}

TEST(InstrumentFF, UnlockWithWrongCodeIsRefused) {
    Instrument instrument(configFF());
    const Bytes answer = ask(instrument, request(1, link::kFunctionWrite, link::reg::kUnlockFF, 0x1234));
    ASSERT_EQ(answer.size(), 5u);
    EXPECT_EQ(answer[2], static_cast<uint8_t>(ExceptionCode::IllegalDataValue));
    EXPECT_FALSE(instrument.unlocked());
}

TEST(InstrumentFF, AddressChangeIsEchoedFromTheNewAddress) {
    Instrument instrument(configFF());
    ask(instrument, unlock());
    const Bytes write = bytesOf(link::addressWrite(link::DataFormat::FormatFF, 1, 42));
    const Bytes echo = ask(instrument, write);
    ASSERT_EQ(echo.size(), 8u);
    EXPECT_EQ(echo[0], 42);
    EXPECT_TRUE(std::equal(write.begin() + 1, write.begin() + 6, echo.begin() + 1));
    EXPECT_TRUE(link::crcMatches(echo.data(), echo.size()));
    EXPECT_EQ(instrument.address(), 42);
    EXPECT_TRUE(ask(instrument, bytesOf(link::readingsRequest(1, 4))).empty());
    EXPECT_EQ(ask(instrument, bytesOf(link::readingsRequest(42, 4))).size(), 21u);
}

TEST(InstrumentFF, AddressOutsideOneTo254IsRefused) {
    for (const uint16_t address : {0, 255, 0x0101}) {
        Instrument instrument(configFF());
        ask(instrument, unlock());
        const Bytes answer = ask(instrument, request(1, link::kFunctionWrite, link::reg::kAddressFF, address));
        ASSERT_EQ(answer.size(), 5u) << address;
        EXPECT_EQ(answer[0], 1);
        EXPECT_EQ(instrument.address(), 1);
    }
}

TEST(InstrumentFF, SerialSettingsTakeEffectAfterTheEcho) {
    Instrument instrument(configFF());  // 19200, no parity, two stop bits
    ask(instrument, unlock());
    // 9600 (code 1), even parity (2): low byte 0x21.
    const Bytes write = bytesOf(link::serialSettingsWriteFF(1, 0, 2, 1));
    ASSERT_EQ(write[5], 0x21);
    const Reply reply = instrument.handleRequest(write.data(), write.size(), matchingLine(instrument), 0);
    ASSERT_TRUE(reply.sent);
    EXPECT_EQ(Bytes(reply.bytes.begin(), reply.bytes.begin() + 8), write);
    EXPECT_EQ(reply.baudRate, 19200);  // the echo leaves on the old line
    EXPECT_EQ(link::parityOf(reply.line), link::Parity::None);

    EXPECT_EQ(instrument.baudRate(), 9600);
    EXPECT_EQ(link::parityOf(instrument.line()), link::Parity::Even);
    EXPECT_FALSE(instrument.understands(MasterLine::exactly(19200, {0, 1})));
    EXPECT_TRUE(instrument.understands(MasterLine::exactly(9600, {2, 0})));
    // The new settings are reported by the information answer.
    const auto info = link::parseDeviceInfoFF(ask(instrument, kInfoQueryFF).data(), 11);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->serialByte, 0x21);
}

TEST(InstrumentFF, SerialSettingsOutOfRangeAreRefused) {
    for (const uint8_t serial : {0x05, 0x07, 0x31}) {  // baud code 5 and 7, parity 3
        Instrument instrument(configFF());
        ask(instrument, unlock());
        const Bytes answer = ask(instrument, request(1, link::kFunctionWrite, link::reg::kSerialFF, serial));
        EXPECT_EQ(answer.size(), 5u) << int{serial};
        EXPECT_EQ(instrument.baudRate(), 19200);
    }
}

TEST(InstrumentFF, ZeroCommandsEchoAndTakeEffect) {
    InstrumentConfig config = configFF(3);
    config.probes = {constantProbe(100), constantProbe(-250), constantProbe(40)};
    Instrument instrument(config);

    const Bytes zeroSecond = bytesOf(link::zeroRequest(link::DataFormat::FormatFF, 1, 1, false));
    EXPECT_EQ(ask(instrument, zeroSecond), zeroSecond);
    EXPECT_DOUBLE_EQ(instrument.probes().zeroOffsetUm(1), -250);
    ask(instrument, bytesOf(link::readingsRequest(1, 3)));
    EXPECT_EQ(instrument.lastAnsweredCounts(0), 100);
    EXPECT_EQ(instrument.lastAnsweredCounts(1), 0);

    const Bytes zeroAll = bytesOf(link::zeroRequest(link::DataFormat::FormatFF, 1, link::kZeroAllChannels, false));
    EXPECT_EQ(ask(instrument, zeroAll), zeroAll);
    ask(instrument, bytesOf(link::readingsRequest(1, 3)));
    for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(instrument.lastAnsweredCounts(k), 0) << k;
}

TEST(InstrumentFF, SingleProbeInstrumentZeroesWithPlainWrite) {
    InstrumentConfig config = configFF(1);
    config.probes = {constantProbe(75)};
    Instrument instrument(config);
    const Bytes zero = bytesOf(link::zeroRequest(link::DataFormat::FormatFF, 1, 0, true));
    EXPECT_EQ(ask(instrument, zero), zero);
    EXPECT_DOUBLE_EQ(instrument.probes().zeroOffsetUm(0), 75);
}

TEST(InstrumentFF, ZeroWithDataOrBeyondTheProbesIsRefused) {
    Instrument instrument(configFF(2));
    const Bytes withData = ask(instrument, request(1, link::kFunctionWrite, 0x0002, link::kUnlockCode));
    EXPECT_EQ(withData.size(), 5u);
    const Bytes beyond = ask(instrument, request(1, link::kFunctionWrite, 0x0004, 0));
    ASSERT_EQ(beyond.size(), 5u);
    EXPECT_EQ(beyond[2], static_cast<uint8_t>(ExceptionCode::IllegalDataAddress));
}

TEST(InstrumentFF, FormatFlagsReadAndWrite) {
    Instrument instrument(configFF());
    const Bytes flags = ask(instrument, bytesOf(link::formatFlagsRead(1)));
    ASSERT_EQ(flags.size(), 7u);
    EXPECT_EQ(flags[2], 2);
    EXPECT_EQ(wordAt(flags, 3), 0x0000);  // bit 1 clear: format "FF"

    ask(instrument, unlock());
    const Bytes write = bytesOf(link::formatFlagsWrite(1, 0x02));
    EXPECT_EQ(ask(instrument, write), write);
    EXPECT_EQ(instrument.format(), link::DataFormat::Format01);
    EXPECT_TRUE(ask(instrument, kInfoQueryFF).empty());
    EXPECT_EQ(ask(instrument, kInfoQuery01).size(), 13u);
}
