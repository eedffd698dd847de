// Fault injection: what each fault does to an answer, and that rates,
// counts, every-n-th and time windows strike when they should.
#include <gtest/gtest.h>

#include "link/frames.h"
#include "sim/instrument.h"
#include "sim_test_support.h"

using namespace gaugemon;
using namespace gaugemon::sim;
using namespace gaugemon::sim::testing;

namespace {

const Bytes kRead = bytesOf(link::readingsRequest(1, 4));

Bytes cleanAnswer() {
    Instrument instrument(configFF(4));
    return ask(instrument, kRead);
}

}  // namespace

TEST(Faults, EachKindSpoilsTheAnswerItsOwnWay) {
    const Bytes clean = cleanAnswer();
    for (uint64_t seed = 1; seed <= 20; ++seed) {
        InstrumentConfig config = configFF(4);
        config.seed = seed;
        {
            Instrument instrument(config);
            instrument.injectNext(FaultKind::CorruptCrc);
            const Bytes answer = ask(instrument, kRead);
            ASSERT_EQ(answer.size(), clean.size());
            EXPECT_FALSE(link::crcMatches(answer.data(), answer.size()));
            EXPECT_TRUE(std::equal(clean.begin(), clean.end() - 1, answer.begin()));
        }
        {
            Instrument instrument(config);
            instrument.injectNext(FaultKind::Truncate);
            const Bytes answer = ask(instrument, kRead);
            ASSERT_FALSE(answer.empty());
            ASSERT_LT(answer.size(), clean.size());
            EXPECT_TRUE(std::equal(answer.begin(), answer.end(), clean.begin()));
        }
        {
            Instrument instrument(config);
            instrument.injectNext(FaultKind::StrayBytes);
            const Bytes answer = ask(instrument, kRead);
            ASSERT_GT(answer.size(), clean.size());
            EXPECT_LE(answer.size(), clean.size() + config.faults.maxStrayBytes);
            EXPECT_TRUE(std::equal(clean.begin(), clean.end(), answer.begin()));
        }
        {
            Instrument instrument(config);
            instrument.injectNext(FaultKind::Noise);
            const Bytes answer = ask(instrument, kRead);
            ASSERT_GT(answer.size(), clean.size());
            EXPECT_TRUE(std::equal(clean.begin(), clean.end(), answer.end() - static_cast<long>(clean.size())));
        }
    }
}

TEST(Faults, DroppedEchoStillTakesEffect) {
    Instrument instrument(config01());
    instrument.injectNext(FaultKind::Drop);
    EXPECT_TRUE(ask(instrument, bytesOf(link::addressWrite(link::DataFormat::Format01, 1, 5))).empty());
    EXPECT_EQ(instrument.address(), 5);
    EXPECT_TRUE(instrument.log().back().hadFault(FaultKind::Drop));
    EXPECT_EQ(ask(instrument, bytesOf(link::readingsRequest(5, 4))).size(), 21u);
}

TEST(Faults, LateAnswerIsDelayed) {
    InstrumentConfig config = configFF();
    config.faults.lateByMs = 800;
    Instrument instrument(config);
    instrument.injectNext(FaultKind::Late);
    const Reply late = instrument.handleRequest(kRead.data(), kRead.size(), matchingLine(instrument), 0);
    const Reply onTime = instrument.handleRequest(kRead.data(), kRead.size(), matchingLine(instrument), 10);
    EXPECT_EQ(late.delayUs - onTime.delayUs, 800'000);
}

TEST(Faults, SilenceLastsItsDurationAndIgnoresRequests) {
    InstrumentConfig config = config01();
    config.faults.silentForMs = 3000;
    Instrument instrument(config);
    instrument.injectNext(FaultKind::Silent);
    const Bytes zeroAll = bytesOf(link::zeroRequest(link::DataFormat::Format01, 1, link::kZeroAllChannels, false));
    EXPECT_TRUE(ask(instrument, zeroAll, 1000).empty());
    EXPECT_TRUE(ask(instrument, kRead, 3999).empty());
    EXPECT_EQ(instrument.log().back().outcome, RequestOutcome::Silent);
    EXPECT_FALSE(ask(instrument, kRead, 4000).empty());
}

TEST(Faults, ScheduledWindowsHoldThroughout) {
    Instrument instrument(configFF());
    instrument.scheduleFault(FaultKind::Drop, 100, 200);
    instrument.scheduleFault(FaultKind::Vanish, 500, 600);
    EXPECT_FALSE(ask(instrument, kRead, 99).empty());
    EXPECT_TRUE(ask(instrument, kRead, 100).empty());
    EXPECT_TRUE(ask(instrument, kRead, 199).empty());
    EXPECT_FALSE(ask(instrument, kRead, 200).empty());
    EXPECT_FALSE(instrument.vanishedAt(499));
    EXPECT_TRUE(instrument.vanishedAt(500));
    EXPECT_FALSE(instrument.vanishedAt(600));
}

TEST(Faults, EveryNthAnswer) {
    Instrument instrument(configFF());
    instrument.setFaultEvery(FaultKind::Drop, 3);
    std::string pattern;
    for (int i = 0; i < 9; ++i) pattern += ask(instrument, kRead).empty() ? 'x' : '.';
    EXPECT_EQ(pattern, "..x..x..x");
}

TEST(Faults, RatesAreSeededAndRoughlyKept) {
    const auto pattern = [](uint64_t seed) {
        InstrumentConfig config = configFF();
        config.seed = seed;
        config.faults[FaultKind::Drop].rate = 0.3;
        Instrument instrument(config);
        std::string dropped;
        for (int i = 0; i < 1000; ++i) dropped += ask(instrument, kRead).empty() ? 'x' : '.';
        return dropped;
    };
    const std::string first = pattern(7);
    EXPECT_EQ(first, pattern(7));
    EXPECT_NE(first, pattern(8));
    const auto drops = std::count(first.begin(), first.end(), 'x');
    EXPECT_GT(drops, 240);
    EXPECT_LT(drops, 360);
}

TEST(Faults, VanishTriggeredByCountLastsItsDuration) {
    InstrumentConfig config = configFF();
    config.faults.vanishForMs = 2000;
    Instrument instrument(config);
    instrument.injectNext(FaultKind::Vanish);
    EXPECT_TRUE(ask(instrument, kRead, 100).empty());
    EXPECT_TRUE(instrument.vanishedAt(2099));
    EXPECT_FALSE(instrument.vanishedAt(2100));
}
