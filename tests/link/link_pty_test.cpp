// The station's link on the real serial port against the gaugesim program on
// a pseudo-terminal: discovery, polling 60 probes at 115200 baud, zero-all.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QCoreApplication>

#include "core/qt_timer_schedule.h"
#include "core/settings_store.h"
#include "link/link_controller.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

struct CountingHost : link::LinkHost {
    int displayUpdates = 0;
    void readingsArrived(std::span<const gaugemon::link::ChannelReading>) override { ++displayUpdates; }
};

TEST(LinkOnPseudoTerminal, FindsGaugesimPollsSixtyProbesWithoutAMissAndZeroesThem) {
    const auto directory = std::filesystem::temp_directory_path() / ("gaugemon-pty-" + std::to_string(::getpid()));
    GaugesimProcess sim(directory, {"--port", "COM3", "--probes", "60", "--baud", "115200", "--format", "FF",
                                    "--signal", "all=constant:2500"});
    ASSERT_TRUE(sim.waitForLink("COM3"));

    core::QtTimerSchedule timers;
    core::MemorySettingsStore settings;  // a first start: discovery begins with format "01" on COM1
    RecordingPrompts prompts;
    CountingHost host;
    // No fallback to the machine's own serial devices: only the simulator's link.
    link::TtySerialPort port{link::PortDirectory(directory, directory / "no-devices")};
    link::LinkState state;
    core::Language language = core::Language::English;
    link::LinkController controller(state, port, timers, settings, prompts, host, language);
    timers.setTickHandler([&](int id) { controller.onTick(id); });

    controller.connectButton();
    ASSERT_TRUE(runEventsUntil([&] { return state.connected; }, 20'000)) << controller.view().messageLine;
    EXPECT_EQ(controller.view().commStatus, "COM03 115200,8,N,1");
    EXPECT_EQ(state.probeCount, 60u);

    runEventsFor(3000);
    EXPECT_EQ(state.missCount, 0u);
    EXPECT_EQ(state.errorCount, 0u);
    EXPECT_GT(host.displayUpdates, 20);
    EXPECT_EQ(state.readings[59].value, 2500);

    controller.zeroAllButton();
    ASSERT_TRUE(runEventsUntil([&] { return !state.pending.zeroRequest; }, 3000));
    runEventsFor(300);
    EXPECT_EQ(state.readings[0].value, 0);
    EXPECT_EQ(state.readings[59].value, 0);
    EXPECT_TRUE(prompts.messages.empty());
    controller.connectButton();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
