// The order of discovery, walked without timers.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/discovery_plan.h"

namespace gaugemon::link {
namespace {

using Action = DiscoveryStep::Action;

struct Walk {
    std::vector<DiscoveryStep> steps;
};

// Every step from Connect to giving up, refusing the ports in `refused`.
Walk walk(std::vector<unsigned> refused = {}, unsigned keptPort = 0) {
    DiscoveryPlan plan;
    plan.keepTo(keptPort);
    plan.begin(7, 4, DataFormat::Format01, {2, 0});
    Walk result;
    for (int guard = 0; guard < 1000; ++guard) {
        const DiscoveryStep& step = plan.step();
        const bool refuse = step.action == Action::OpenPort && result.steps.size() > 0 &&
                            std::find(refused.begin(), refused.end(), step.portIndex) != refused.end();
        if (refuse) {
            plan.portRefused();
            continue;
        }
        result.steps.push_back(step);
        if (step.action == Action::GiveUp) break;
        plan.advance();
    }
    return result;
}

TEST(DiscoveryPlan, StoredPortThenFifteenPortsInBothFormatsThenGiveUp) {
    const Walk w = walk();
    ASSERT_EQ(w.steps.size(), 1u + 225u + 1u + 225u + 1u);
    const DiscoveryStep& stored = w.steps[0];
    EXPECT_EQ(stored.portIndex, 7u);
    EXPECT_EQ(stored.format, DataFormat::Format01);
    EXPECT_EQ(stored.baud, 115200);
    EXPECT_EQ(stored.line.parityCode, 2);
    EXPECT_EQ(stored.line.twoStopBits, 1);
    EXPECT_EQ(stored.stepMs, 100);
    EXPECT_EQ(stored.answerMs, 95);

    const DiscoveryStep& firstSwept = w.steps[1];
    EXPECT_EQ(firstSwept.action, Action::OpenPort);
    EXPECT_EQ(firstSwept.format, DataFormat::FormatFF);
    EXPECT_EQ(firstSwept.portIndex, 1u);
    EXPECT_EQ(firstSwept.baud, 19200);
    EXPECT_EQ(firstSwept.stepMs, 37);
    // The ninth combination of a port: 9600 baud, even parity.
    EXPECT_EQ(w.steps[9].action, Action::ChangeLine);
    EXPECT_EQ(w.steps[9].baud, 9600);
    EXPECT_EQ(w.steps[9].line.parityCode, 2);
    EXPECT_EQ(w.steps[9].answerMs, 50);
    EXPECT_EQ(w.steps[15].baud, 4800);
    EXPECT_EQ(w.steps[16].action, Action::OpenPort);
    EXPECT_EQ(w.steps[16].portIndex, 2u);

    EXPECT_EQ(w.steps[226].action, Action::NextFormat);
    EXPECT_EQ(w.steps[226].stepMs, kDiscoveryStartMs);
    EXPECT_EQ(w.steps[227].format, DataFormat::Format01);
    EXPECT_EQ(w.steps[227].portIndex, 1u);
    EXPECT_EQ(w.steps.back().action, Action::GiveUp);
    for (size_t i = 1; i < w.steps.size(); ++i) EXPECT_LE(w.steps[i].portIndex, 15u) << "port 16 is never swept";
}

TEST(DiscoveryPlan, ARefusedPortIsSkippedWithAllItsCombinations) {
    const Walk w = walk({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    ASSERT_EQ(w.steps.size(), 1u + 15u + 1u + 15u + 1u);
    EXPECT_EQ(w.steps[1].portIndex, 15u);
    EXPECT_EQ(w.steps[16].action, Action::NextFormat);
    EXPECT_EQ(w.steps[17].portIndex, 15u);
}

// A station given a port: that port in both formats, and no other, also
// when the stored port is another one.
TEST(DiscoveryPlan, AKeptPortIsTheOnlyOneAsked) {
    const Walk w = walk({}, 16);
    ASSERT_EQ(w.steps.size(), 1u + 15u + 1u + 15u + 1u);
    EXPECT_EQ(w.steps[0].baud, 115200);
    EXPECT_EQ(w.steps[16].action, Action::NextFormat);
    EXPECT_EQ(w.steps[17].format, DataFormat::Format01);
    for (const DiscoveryStep& step : w.steps) EXPECT_EQ(step.portIndex, 16u);
    EXPECT_EQ(walk({16}, 16).steps.size(), 1u + 1u + 1u);
}

}  // namespace
}  // namespace gaugemon::link
