#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "codec_test_support.h"
#include "link/answers.h"
#include "link/crc.h"
#include "link/decode.h"
#include "link/frames.h"

using namespace gaugemon::link;
using gaugemon::link::testing::bitwiseCrc;
using gaugemon::link::testing::withCrc;

namespace {

uint16_t crcOf(std::initializer_list<uint8_t> bytes) {
    const std::vector<uint8_t> data(bytes);
    return crc16(data.data(), data.size());
}

}  // namespace

// ---------------------------------------------------------------- CRC

TEST(Crc, KnownAnswersPackFirstWireByteHigh) {
    const char* text = "123456789";
    EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(text), std::strlen(text)), 0x374B);
    EXPECT_EQ(crcOf({0xFF, 0x03, 0xAA, 0x30, 0x00, 0x03}), 0x31C2);
    EXPECT_EQ(crcOf({0xFF, 0x03, 0x02, 0x00, 0x00, 0x04}), 0x506F);
    // Nothing fed: the two start bytes.
    EXPECT_EQ(crc16(nullptr, 0), 0xFFFF);
}

TEST(Crc, EveryTableEntryIsTheBitwiseRemainderOfItsIndex) {
    for (unsigned i = 0; i < 256; ++i) {
        // Eight reflected polynomial steps on the byte alone give entry i: the
        // low half lands on the first wire byte, the high half on the second.
        uint16_t remainder = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            remainder = (remainder & 1) ? static_cast<uint16_t>((remainder >> 1) ^ 0xA001) : remainder >> 1;
        }
        EXPECT_EQ(kCrcTableFirst[i], remainder & 0xFF) << "first table, entry " << i;
        EXPECT_EQ(kCrcTableSecond[i], remainder >> 8) << "second table, entry " << i;
    }
}

TEST(Crc, AgreesWithBitwiseCrcOnRandomRunsOfEveryLength) {
    std::mt19937 random(20191129);
    std::vector<uint8_t> data(300);
    for (size_t length = 0; length <= data.size(); ++length) {
        for (auto& byte : data) byte = static_cast<uint8_t>(random());
        ASSERT_EQ(crc16(data.data(), length), bitwiseCrc(data.data(), length)) << "length " << length;
    }
}

TEST(Crc, MatchesOnlyAnIntactFrame) {
    const RequestFrame frame = readingsRequest(1, 2);
    EXPECT_TRUE(crcMatches(frame.data(), frame.size()));
    for (size_t byte = 0; byte < frame.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            RequestFrame damaged = frame;
            damaged[byte] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(crcMatches(damaged.data(), damaged.size())) << "byte " << byte << " bit " << bit;
        }
    }
    // Too short to hold a check at all, even where the bytes happen to agree.
    const uint8_t startBytes[] = {0xFF, 0xFF};
    EXPECT_FALSE(crcMatches(startBytes, 2));
    EXPECT_FALSE(crcMatches(startBytes, 0));
}

// ---------------------------------------------------------------- Frames

struct FrameCase {
    const char* what;
    RequestFrame frame;
    std::array<uint8_t, 6> head;
};

TEST(Frames, EveryRequestCarriesItsFieldsAndCrc) {
    const uint8_t u1 = kUnlockHigh, u2 = kUnlockLow;
    const FrameCase cases[] = {
        {"info FF", deviceInfoQuery(DataFormat::FormatFF), {0xFF, 0x03, 0xAA, 0x30, 0x00, 0x03}},
        {"info 01", deviceInfoQuery(DataFormat::Format01), {0xFF, 0x03, 0x02, 0x00, 0x00, 0x04}},
        {"readings 2", readingsRequest(1, 2), {0x01, 0x03, 0x00, 0x00, 0x00, 0x04}},
        {"readings 60", readingsRequest(7, 60), {0x07, 0x03, 0x00, 0x00, 0x00, 0x78}},
        {"flags read", formatFlagsRead(9), {0x09, 0x03, 0x30, 0x35, 0x00, 0x01}},
        {"unlock", unlockWrite(9), {0x09, 0x06, 0x70, 0x10, u1, u2}},
        {"address 01", addressWrite(DataFormat::Format01, 3, 200), {0x03, 0x06, 0x02, 0x00, 0x00, 200}},
        {"address FF", addressWrite(DataFormat::FormatFF, 3, 4), {0x03, 0x06, 0x30, 0x31, 0x00, 0x04}},
        {"baud 01", baudWrite01(3, 4), {0x03, 0x06, 0x02, 0x01, 0x00, 0x04}},
        {"parity 01", parityWrite01(3, 2), {0x03, 0x06, 0x02, 0x02, 0x00, 0x02}},
        {"serial FF", serialSettingsWriteFF(3, 1, 2, 4), {0x03, 0x06, 0x30, 0x30, 0x01, 0x24}},
        {"serial FF odd", serialSettingsWriteFF(3, 0, 1, 2), {0x03, 0x06, 0x30, 0x30, 0x00, 0x12}},
        {"flags write", formatFlagsWrite(3, 0x02), {0x03, 0x06, 0x30, 0x35, 0x00, 0x02}},
        {"display mode", displayModeWrite(3, 3), {0x03, 0x06, 0x30, 0x36, 0x00, 0x03}},
        {"zero 0 FF", zeroRequest(DataFormat::FormatFF, 3, 0, false), {0x03, 0x06, 0x00, 0x00, 0x00, 0x00}},
        {"zero 59 FF", zeroRequest(DataFormat::FormatFF, 3, 59, false), {0x03, 0x06, 0x00, 0x76, 0x00, 0x00}},
        {"zero 5 01", zeroRequest(DataFormat::Format01, 3, 5, false), {0x03, 0x06, 0x00, 0x0A, u1, u2}},
        {"zero all FF",
         zeroRequest(DataFormat::FormatFF, 3, kZeroAllChannels, false),
         {0x03, 0x06, 0x01, 0xFF, 0x00, 0x00}},
        {"zero all 01",
         zeroRequest(DataFormat::Format01, 3, kZeroAllChannels, false),
         {0x03, 0x06, 0x08, 0x00, u1, u2}},
        {"zero single",
         zeroRequest(DataFormat::FormatFF, 3, kZeroAllChannels, true),
         {0x03, 0x06, 0x00, 0x00, 0x00, 0x00}},
        {"zero single ch", zeroRequest(DataFormat::FormatFF, 3, 4, true), {0x03, 0x06, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), c.frame.begin()));
        const uint16_t crc = bitwiseCrc(c.frame.data(), 6);
        EXPECT_EQ(c.frame[6], crc >> 8);
        EXPECT_EQ(c.frame[7], crc & 0xFF);
    }
}

TEST(Frames, InfoQueriesAreSentAsPublished) {
    EXPECT_EQ(deviceInfoQuery(DataFormat::FormatFF), (RequestFrame{0xFF, 0x03, 0xAA, 0x30, 0x00, 0x03, 0x31, 0xC2}));
    EXPECT_EQ(deviceInfoQuery(DataFormat::Format01), (RequestFrame{0xFF, 0x03, 0x02, 0x00, 0x00, 0x04, 0x50, 0x6F}));
}

TEST(Frames, ReadingRequestAndItsAnswerLengthStayWithinOneToSixtyProbes) {
    // A reported count of 0 must not become a request for no probes, and a
    // count past 60 not a request whose answer outgrows the readings.
    EXPECT_EQ(readingsRequest(1, 0), readingsRequest(1, 1));
    EXPECT_EQ(readingsRequest(1, 61), readingsRequest(1, 60));
    EXPECT_EQ(readingsRequest(1, 200), readingsRequest(1, 60));
    EXPECT_EQ(readingsAnswerLength(0), 9u);
    EXPECT_EQ(readingsAnswerLength(1), 9u);
    EXPECT_EQ(readingsAnswerLength(60), 245u);
    EXPECT_EQ(readingsAnswerLength(1000), 245u);
}

// ---------------------------------------------------------------- Device information

TEST(DeviceInfo, FormatFFAnswerGivesItsFields) {
    const auto answer = withCrc({0xFF, 0x03, 0x06, 0x01, 0x24, 0x3C, 0x07, 0x00, 0x00});
    const auto info = parseDeviceInfoFF(answer.data(), answer.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->twoStopBits, 1);
    EXPECT_EQ(info->serialByte, 0x24);
    EXPECT_EQ(info->probeCount, 60);
    EXPECT_EQ(info->address, 7);
}

TEST(DeviceInfo, Format01AnswerGivesItsFields) {
    const auto answer = withCrc({0x05, 0x03, 0x08, 0x00, 0x05, 0x00, 0x03, 0x00, 0x01, 0x00, 0xF0});
    const auto info = parseDeviceInfo01(answer.data(), answer.size());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->address, 5);
    EXPECT_EQ(info->baudCode, 3);
    EXPECT_EQ(info->parityCode, 1);
    EXPECT_EQ(info->probeCountTimes4, 0xF0);
}

TEST(DeviceInfo, OnlyTheFormatsOwnLengthWithAGoodCrcCounts) {
    const auto ff = withCrc({0xFF, 0x03, 0x06, 0x00, 0x02, 0x08, 0x01, 0x00, 0x00});
    const auto f01 = withCrc({0x01, 0x03, 0x08, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x20});
    // The other format's answer is not device information.
    EXPECT_FALSE(parseDeviceInfoFF(f01.data(), f01.size()));
    EXPECT_FALSE(parseDeviceInfo01(ff.data(), ff.size()));
    // Cut short or padded: the length is wrong even before the CRC.
    EXPECT_FALSE(parseDeviceInfoFF(ff.data(), ff.size() - 1));
    auto padded = ff;
    padded.push_back(0x00);
    EXPECT_FALSE(parseDeviceInfoFF(padded.data(), padded.size()));
    // Right length, one bit off.
    auto damaged = f01;
    damaged[6] ^= 0x01;
    EXPECT_FALSE(parseDeviceInfo01(damaged.data(), damaged.size()));
    EXPECT_FALSE(parseDeviceInfoFF(nullptr, 0));
}

// ---------------------------------------------------------------- Answers while connected

namespace {

LinkState pollingTwoProbes() {
    LinkState link;
    link.connected = true;
    link.deviceAddress = 1;
    link.probeCount = 2;
    link.expectedLength = readingsAnswerLength(2);
    return link;
}

const std::vector<uint8_t> kTwoReadings = withCrc({0x01, 0x03, 0x08, 0x00, 0x00, 0x10, 0x00, 0xFF, 0xFF, 0xF0, 0x00});

}  // namespace

TEST(Answers, ReadingAnswerCarriesItsDataBytes) {
    const LinkState link = pollingTwoProbes();
    const Answer answer = classifyAnswer(kTwoReadings.data(), kTwoReadings.size(), link);
    EXPECT_EQ(answer.kind, AnswerKind::Readings);
    EXPECT_FALSE(answer.recordRequest);
    EXPECT_EQ(answer.payload, kTwoReadings.data() + 3);
    EXPECT_EQ(answer.payloadLength, 8u);
}

TEST(Answers, Function83AlsoAsksForARecordRow) {
    const LinkState link = pollingTwoProbes();
    auto record = withCrc({0x01, 0x83, 0x08, 0, 0, 0, 1, 0, 0, 0, 2});
    const Answer answer = classifyAnswer(record.data(), record.size(), link);
    EXPECT_EQ(answer.kind, AnswerKind::Readings);
    EXPECT_TRUE(answer.recordRequest);
    // A record request without readings asks for nothing.
    auto odd = withCrc({0x01, 0x83, 0x06, 0, 0, 0, 1, 0, 0, 0, 2});
    const Answer ignored = classifyAnswer(odd.data(), odd.size(), link);
    EXPECT_EQ(ignored.kind, AnswerKind::Ignored);
    EXPECT_FALSE(ignored.recordRequest);
}

TEST(Answers, LengthAndCrcDecideValidity) {
    const LinkState link = pollingTwoProbes();
    // One byte short of what the request calls for, with a correct CRC.
    const auto shortAnswer = withCrc({0x01, 0x03, 0x08, 0, 0, 0, 1, 0, 0, 0});
    EXPECT_EQ(shortAnswer.size(), link.expectedLength - 1);
    EXPECT_EQ(classifyAnswer(shortAnswer.data(), shortAnswer.size(), link).kind, AnswerKind::Invalid);
    // A trailing extra byte moves the CRC off the end. (Not a 0x00: a frame,
    // its first CRC byte and 0x00 form a valid frame of their own.)
    auto longer = kTwoReadings;
    longer.push_back(0x55);
    EXPECT_EQ(classifyAnswer(longer.data(), longer.size(), link).kind, AnswerKind::Invalid);
    // A flipped data bit.
    auto damaged = kTwoReadings;
    damaged[5] ^= 0x40;
    EXPECT_EQ(classifyAnswer(damaged.data(), damaged.size(), link).kind, AnswerKind::Invalid);
    // Fewer than 5 bytes is never an answer, whatever was expected.
    LinkState anything = link;
    anything.expectedLength = 0;
    const auto tiny = withCrc({0x01, 0x03});
    EXPECT_EQ(classifyAnswer(tiny.data(), tiny.size(), anything).kind, AnswerKind::Invalid);
    EXPECT_EQ(classifyAnswer(nullptr, 0, anything).kind, AnswerKind::Invalid);
}

TEST(Answers, FullBlockIsBelievedOnlyWhenAll256BytesArePresent) {
    LinkState link = pollingTwoProbes();
    std::vector<uint8_t> block = {0x01, 0x03, 0xFF};
    for (int i = 0; i < 256; ++i) block.push_back(static_cast<uint8_t>(i));
    block = withCrc(std::vector<uint8_t>(block));
    const Answer full = classifyAnswer(block.data(), block.size(), link);
    EXPECT_EQ(full.kind, AnswerKind::Readings);
    EXPECT_EQ(full.payloadLength, 256u);
    EXPECT_EQ(full.payload, block.data() + 3);

    // The same byte count over eight data bytes: used as is, it would copy 256
    // bytes out of a 13-byte answer.
    const auto claims = withCrc({0x01, 0x03, 0xFF, 0, 0, 0, 1, 0, 0, 0, 2});
    const Answer ignored = classifyAnswer(claims.data(), claims.size(), link);
    EXPECT_EQ(ignored.kind, AnswerKind::Ignored);
    EXPECT_EQ(ignored.payload, nullptr);
}

TEST(Answers, ByteCountDecidesWhatTheDataMean) {
    LinkState link = pollingTwoProbes();
    const auto flags = withCrc({0x01, 0x03, 0x02, 0x00, 0x02});
    // Format flags only in answer to a flags read in flight...
    link.expectedLength = 5;
    link.pending.flagsReadsLeft = 2;
    EXPECT_EQ(classifyAnswer(flags.data(), flags.size(), link).kind, AnswerKind::Ignored);
    // ...but also to the last of the reads, which left no read to come.
    link.expectedLength = 7;
    link.pending.flagsReadsLeft = 0;
    const Answer answer = classifyAnswer(flags.data(), flags.size(), link);
    EXPECT_EQ(answer.kind, AnswerKind::FormatFlags);
    EXPECT_EQ(answer.data & 0xFF, 0x02);
    // A byte count of 2 with no data bytes behind it: the "flags" would be the CRC.
    link.expectedLength = 5;
    const auto hollow = withCrc({0x01, 0x03, 0x02});
    EXPECT_EQ(classifyAnswer(hollow.data(), hollow.size(), link).kind, AnswerKind::Ignored);
    // Readings claimed for two probes in an answer that holds only one.
    link.expectedLength = 0;
    const auto cut = withCrc({0x01, 0x03, 0x08, 0, 0, 0, 1});
    EXPECT_EQ(classifyAnswer(cut.data(), cut.size(), link).kind, AnswerKind::Ignored);
    // Neither 4 x probes, nor 0xFF, nor 2: valid, but nothing is taken.
    link.expectedLength = 9;
    const auto oneProbe = withCrc({0x01, 0x03, 0x04, 0, 0, 0, 1});
    const Answer other = classifyAnswer(oneProbe.data(), oneProbe.size(), link);
    EXPECT_EQ(other.kind, AnswerKind::Ignored);
    EXPECT_EQ(other.payload, nullptr);
}

TEST(Answers, ProbeCountZeroReadsLikeTheOneProbeItWasPolledAs) {
    LinkState link = pollingTwoProbes();
    link.probeCount = 0;
    link.expectedLength = readingsAnswerLength(0);
    const auto oneProbe = withCrc({0x01, 0x03, 0x04, 0, 0, 0, 1});
    const Answer answer = classifyAnswer(oneProbe.data(), oneProbe.size(), link);
    EXPECT_EQ(answer.kind, AnswerKind::Readings);
    EXPECT_EQ(answer.payloadLength, 4u);
}

TEST(Answers, SenderAndFunctionDecideEchoes) {
    LinkState link = pollingTwoProbes();
    link.expectedLength = 8;
    link.pending.addressChange = true;
    link.pending.newAddress = 5;

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        AnswerKind kind;
    };
    const Case cases[] = {
        {"write echo", withCrc({0x01, 0x06, 0x30, 0x36, 0x00, 0x02}), AnswerKind::WriteEcho},
        {"reading from another address", withCrc({0x02, 0x03, 0x08, 0, 0, 0, 1, 0, 0, 0, 2}), AnswerKind::Ignored},
        {"unknown function", withCrc({0x01, 0x10, 0x30, 0x36, 0x00, 0x02}), AnswerKind::Ignored},
        {"exception answer", withCrc({0x01, 0x86, 0x02, 0x00, 0x00, 0x00}), AnswerKind::Ignored},
        {"echo from the new address", withCrc({0x05, 0x06, 0x30, 0x31, 0x00, 0x05}), AnswerKind::NewAddressEcho},
        {"new address, any function", withCrc({0x05, 0x10, 0x30, 0x31, 0x00, 0x05}), AnswerKind::NewAddressEcho},
        {"new address, other register", withCrc({0x05, 0x06, 0x30, 0x36, 0x00, 0x05}), AnswerKind::Ignored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(classifyAnswer(c.bytes.data(), c.bytes.size(), link).kind, c.kind);
    }
    const auto& echo = cases[0].bytes;
    const Answer answer = classifyAnswer(echo.data(), echo.size(), link);
    EXPECT_EQ(answer.reg, 0x3036);
    EXPECT_EQ(answer.data, 0x0002);

    // The address echo comes from an address other than the current one: a
    // stray answer from the current address is not it.
    link.pending.newAddress = 1;
    const auto stray = withCrc({0x01, 0x86, 0x30, 0x31, 0x00, 0x01});
    EXPECT_EQ(classifyAnswer(stray.data(), stray.size(), link).kind, AnswerKind::Ignored);
}

// ---------------------------------------------------------------- Decode

TEST(Decode, MarkerByteSelectsSignScaleAndWidth) {
    struct Case {
        std::array<uint8_t, 4> raw;
        int32_t value;
        bool scaledBy5;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0x10, 0x00}, 4096, false},
        {{0xFF, 0xFF, 0xF0, 0x00}, -4096, false},
        {{0x01, 0x00, 0x10, 0x00}, -4096, false},
        {{0x10, 0x00, 0x00, 0x64}, 500, true},
        {{0x11, 0x00, 0x00, 0x64}, -500, true},
        {{0xFF, 0x00, 0x00, 0x01}, -16777215, false},
        {{0x02, 0x00, 0x00, 0x05}, 5, false},
        // Bit 4 of 0xFF does not mark a fine reading.
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1, false},
        // Other marker bits are ignored; 0x10 still scales.
        {{0x1E, 0x00, 0x00, 0x02}, 10, true},
        // The widest magnitudes still fit after scaling.
        {{0x10, 0xFF, 0xFF, 0xFF}, 83886075, true},
        {{0x11, 0xFF, 0xFF, 0xFF}, -83886075, true},
        {{0x01, 0x00, 0x00, 0x00}, 0, false},
    };
    for (const Case& c : cases) {
        const ChannelReading reading = decodeReading(c.raw.data());
        EXPECT_EQ(reading.value, c.value) << std::hex << int(c.raw[0]) << ' ' << int(c.raw[3]);
        EXPECT_EQ(reading.scaledBy5, c.scaledBy5) << std::hex << int(c.raw[0]);
    }
}

TEST(Decode, FillsTheProbesPolledAndKeepsTheSlotsBeyond) {
    LinkState link;
    link.probeCount = 2;
    link.readings[2] = {777, true};
    const uint8_t raw[] = {0x00, 0x00, 0x00, 0x07, 0x11, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x09};
    std::memcpy(link.rawReadings.data(), raw, sizeof raw);
    decodeReadings(link);
    EXPECT_EQ(link.readings[0].value, 7);
    EXPECT_EQ(link.readings[1].value, -10);
    EXPECT_TRUE(link.readings[1].scaledBy5);
    EXPECT_EQ(link.readings[2].value, 777);
    EXPECT_TRUE(link.readings[2].scaledBy5);

    // 60 probes read all 240 bytes; an unclamped count never reads past the block.
    link.probeCount = 60;
    link.rawReadings.fill(0);
    link.rawReadings[4 * 59 + 3] = 42;
    decodeReadings(link);
    EXPECT_EQ(link.readings[59].value, 42);
    link.probeCount = 1000;
    decodeReadings(link);
    EXPECT_EQ(link.readings[60].value, 0);
}
