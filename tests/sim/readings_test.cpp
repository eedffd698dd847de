// Reading answers in both formats: encodings the station decodes, signals,
// display modes over time and the foot switch.
#include <gtest/gtest.h>

#include <cmath>

#include "link/decode.h"
#include "link/frames.h"
#include "sim/instrument.h"
#include "sim/reading_encoding.h"
#include "sim_test_support.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

TEST(ReadingEncoding, StationDecodesWhatTheInstrumentSends) {
    struct Case {
        int32_t units;
        bool fine;
        NegativeEncoding negatives;
        unsigned probe;
        std::array<uint8_t, 4> raw;
    };
    const Case cases[] = {
        {4096, false, NegativeEncoding::SignExtended, 0, {0x00, 0x00, 0x10, 0x00}},
        {-4096, false, NegativeEncoding::SignExtended, 0, {0xFF, 0xFF, 0xF0, 0x00}},
        {-4096, false, NegativeEncoding::Marker, 0, {0x01, 0x00, 0x10, 0x00}},
        {-4096, false, NegativeEncoding::Alternating, 0, {0xFF, 0xFF, 0xF0, 0x00}},
        {-4096, false, NegativeEncoding::Alternating, 1, {0x01, 0x00, 0x10, 0x00}},
        {100, true, NegativeEncoding::SignExtended, 0, {0x10, 0x00, 0x00, 0x64}},
        {-100, true, NegativeEncoding::SignExtended, 0, {0x11, 0x00, 0x00, 0x64}},  // never 0xFF on a fine probe
        {-16777215, false, NegativeEncoding::SignExtended, 0, {0xFF, 0x00, 0x00, 0x01}},
        {-20000000, false, NegativeEncoding::Marker, 0, {0x01, 0xFF, 0xFF, 0xFF}},  // clamped to 24 bits
        {20000000, true, NegativeEncoding::Marker, 0, {0x10, 0xFF, 0xFF, 0xFF}},
        {0, true, NegativeEncoding::Marker, 0, {0x10, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        const auto raw = encodeReading(c.units, c.fine, c.negatives, c.probe);
        EXPECT_EQ(raw, c.raw) << c.units;
        const link::ChannelReading decoded = link::decodeReading(raw.data());
        EXPECT_EQ(decoded.value, stationCounts(c.units, c.fine)) << c.units;
        EXPECT_EQ(decoded.scaledBy5, c.fine) << c.units;
    }
}

TEST(Readings, AnswerCarriesEveryProbeInBothFormats) {
    for (const auto format : {link::DataFormat::FormatFF, link::DataFormat::Format01}) {
        InstrumentConfig config = configFF(4);
        config.format = format;
        config.negatives = NegativeEncoding::Alternating;
        config.probes = {constantProbe(-1.234e3), constantProbe(-12), constantProbe(-7.5, true), constantProbe(3)};
        Instrument instrument(config);
        const Bytes answer = ask(instrument, bytesOf(link::readingsRequest(1, 4)));
        ASSERT_EQ(answer.size(), link::readingsAnswerLength(4));
        EXPECT_EQ(answer[1], link::kFunctionRead);
        EXPECT_EQ(answer[2], 16);
        EXPECT_TRUE(link::crcMatches(answer.data(), answer.size()));
        const int32_t expected[] = {-1234, -12, -75, 3};  // the fine probe in 0.0001 mm
        for (unsigned k = 0; k < 4; ++k) {
            EXPECT_EQ(link::decodeReading(&answer[3 + 4 * k]).value, expected[k]) << k;
            EXPECT_EQ(instrument.lastAnsweredCounts(k), expected[k]) << k;
        }
        EXPECT_EQ(answer[3], 0xFF);      // probe 0 sign-extended
        EXPECT_EQ(answer[3 + 4], 0x01);  // probe 1 with the marker
        EXPECT_EQ(answer[3 + 8], 0x11);  // the fine probe with the fine marker
    }
}

TEST(Readings, SixtyOfSeventyFiveProbesAndTheFullBlock) {
    Instrument instrument(configFF(75));
    EXPECT_EQ(ask(instrument, bytesOf(link::readingsRequest(1, 60))).size(), link::readingsAnswerLength(60));
    // 128 registers are 256 bytes, one more than the count byte holds.
    const Bytes block = ask(instrument, request(1, link::kFunctionRead, 0, 128));
    ASSERT_EQ(block.size(), 261u);
    EXPECT_EQ(block[2], 0xFF);
    const Bytes tooMany = ask(instrument, request(1, link::kFunctionRead, 0, 129));
    ASSERT_EQ(tooMany.size(), 5u);
    EXPECT_EQ(tooMany[2], static_cast<uint8_t>(ExceptionCode::IllegalDataValue));
}

TEST(Readings, RegistersBeyondTheProbesAreRefused) {
    Instrument instrument(configFF(4));
    const Bytes answer = ask(instrument, bytesOf(link::readingsRequest(1, 5)));
    ASSERT_EQ(answer.size(), 5u);
    EXPECT_EQ(answer[1], 0x83);
    EXPECT_EQ(answer[2], static_cast<uint8_t>(ExceptionCode::IllegalDataAddress));
}

TEST(Signals, FollowTheirShapeOverTime) {
    const auto at = [](Signal signal, int64_t tMs) { return positionUm(signal, tMs, 1, 10); };
    EXPECT_DOUBLE_EQ(at({SignalKind::Ramp, 10, 100, 1000, 0}, 0), 10);
    EXPECT_DOUBLE_EQ(at({SignalKind::Ramp, 10, 100, 1000, 0}, 250), 35);
    EXPECT_DOUBLE_EQ(at({SignalKind::Ramp, 10, 100, 1000, 0}, 1250), 35);
    EXPECT_NEAR(at({SignalKind::Sine, 0, 50, 400, 0}, 100), 50, 1e-9);
    EXPECT_NEAR(at({SignalKind::Sine, 0, 50, 400, 0}, 300), -50, 1e-9);
    EXPECT_DOUBLE_EQ(at({SignalKind::Step, 5, 20, 0, 500}, 499), 5);
    EXPECT_DOUBLE_EQ(at({SignalKind::Step, 5, 20, 0, 500}, 99999), 25);
    EXPECT_DOUBLE_EQ(at({SignalKind::Step, 5, 20, 100, 500}, 650), 5);  // toggles back after a period
    const Signal noise{SignalKind::Noise, 100, 3, 0, 0};
    for (int64_t t = 0; t < 2000; t += 7) {
        EXPECT_LE(std::abs(at(noise, t) - 100), 3.0);
        EXPECT_EQ(at(noise, t), at(noise, t));  // same time, same value
    }
    EXPECT_NE(at(noise, 0), at(noise, 10));
}

TEST(DisplayModes, ReportExtremesSinceTheModeWasSet) {
    InstrumentConfig config = configFF(1);
    ProbeSetup probe;
    probe.signal = {SignalKind::Sine, 0, 100, 1000, 0};  // +100 at 250 ms, -100 at 750 ms
    config.probes = {probe};
    Instrument instrument(config);
    const Bytes read = bytesOf(link::readingsRequest(1, 1));
    const auto reported = [&](int64_t tMs) {
        ask(instrument, read, tMs);
        return instrument.lastAnsweredCounts(0);
    };
    const auto setMode = [&](uint8_t mode, int64_t tMs) {
        ask(instrument, bytesOf(link::unlockWrite(1)), tMs);
        ask(instrument, bytesOf(link::displayModeWrite(1, mode)), tMs);
    };

    EXPECT_EQ(reported(250), 100);
    setMode(1, 500);  // maximum from here: the peak at 250 ms no longer counts
    EXPECT_EQ(reported(600), 0);
    EXPECT_EQ(reported(1300), 100);  // the next peak, at 1250 ms, sampled between the reads
    setMode(2, 1500);
    EXPECT_EQ(reported(2000), -100);
    setMode(3, 2000);
    EXPECT_EQ(reported(2250), 100);
    EXPECT_EQ(reported(3000), 200);
    setMode(0, 3000);
    EXPECT_EQ(reported(3250), 100);
}

TEST(DisplayModes, ZeroRestartsTheExtremesOfThatProbe) {
    InstrumentConfig config = config01(2);
    ProbeSetup ramp;
    ramp.signal = {SignalKind::Ramp, 0, 1000, 1000, 0};
    config.probes = {ramp, ramp};
    Instrument instrument(config);
    ask(instrument, bytesOf(link::displayModeWrite(1, 3)), 0);
    ask(instrument, bytesOf(link::readingsRequest(1, 2)), 900);
    EXPECT_EQ(instrument.lastAnsweredCounts(0), 900);
    ask(instrument, bytesOf(link::zeroRequest(link::DataFormat::Format01, 1, 0, false)), 900);
    ask(instrument, bytesOf(link::readingsRequest(1, 2)), 950);
    EXPECT_EQ(instrument.lastAnsweredCounts(0), 50);
    EXPECT_EQ(instrument.lastAnsweredCounts(1), 950);
}

TEST(FootSwitch, NextReadingAnswerAsksForARecord) {
    for (const auto format : {link::DataFormat::FormatFF, link::DataFormat::Format01}) {
        InstrumentConfig config = configFF(2);
        config.format = format;
        Instrument instrument(config);
        const Bytes read = bytesOf(link::readingsRequest(1, 2));
        const Bytes plain = ask(instrument, read);
        instrument.pressFootSwitch();
        // A flags read is no reading answer: the press waits.
        EXPECT_EQ(ask(instrument, bytesOf(link::formatFlagsRead(1)))[1], link::kFunctionRead);
        const Bytes recorded = ask(instrument, read);
        ASSERT_EQ(recorded.size(), plain.size());
        EXPECT_EQ(recorded[1], link::kFunctionReadRecord);
        EXPECT_TRUE(std::equal(plain.begin() + 2, plain.end() - 2, recorded.begin() + 2));
        EXPECT_TRUE(link::crcMatches(recorded.data(), recorded.size()));
        EXPECT_EQ(ask(instrument, read)[1], link::kFunctionRead);
    }
}
