// --demo: a fresh station, nothing but the port chosen, finds the instrument
// inside the program and measures.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "headless/demo_line.h"
#include "station/station.h"
#include "support/memory_settings_store.h"
#include "support/memory_text_settings.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"

namespace gaugemon::headless {
namespace {

TEST(DemoLine, AFreshStationFindsTheInstrumentOnItsPortAndSeesItsProbesMove) {
    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    core::MemoryTextSettings texts;
    testing::RecordingPrompts prompts;
    DemoLine demo(clock);
    settings.writeInt("ComID", static_cast<int32_t>(DemoLine::kPortIndex));
    station::StationObserver observer;
    station::Station station(station::StationSeams{settings, timers, clock, demo.port(), prompts, "", "", &texts},
                             observer);

    station.connect();
    ASSERT_TRUE(clock.runUntil([&] { return station.linkState().connected; }, 60'000));
    EXPECT_EQ(station.linkView().commStatus.substr(0, 5), "COM03");
    std::set<std::string> shown;
    for (int step = 0; step < 20; ++step) {
        clock.advanceBy(500);
        shown.insert(std::string(station.display().valueTexts()[0].text()));
    }
    EXPECT_GT(shown.size(), 3u) << "the first probe stands still";
    EXPECT_EQ(demoInstrument().probes.size(), 8u);
}

}  // namespace
}  // namespace gaugemon::headless
