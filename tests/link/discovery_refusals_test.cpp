// A discovery that finds no instrument says why a port could not be asked:
// the operator lacks the permission on its device, or another program holds
// it. Before, both ended in the bare "No available devices found!".
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "core/settings_store.h"
#include "link/link_controller.h"
#include "link_fixture.h"
#include "support/log_capture.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/scripted_port.h"
#include "support/virtual_time.h"

using namespace gaugemon;
using namespace gaugemon::testing;
using link::PortFailure;

namespace {

// A scripted port whose refused names tell why, as the real port does.
class RefusingPort : public ScriptedPort {
public:
    std::map<std::string, std::pair<PortFailure, std::string>, std::less<>> refusals;

    int openPort(std::string_view name, int baudRate, link::LineSettings line) override {
        const auto it = refusals.find(name);
        if (it == refusals.end()) {
            failure_ = PortFailure::None;
            device_.clear();
            return ScriptedPort::openPort(name, baudRate, line);
        }
        close();
        failure_ = it->second.first;
        device_ = it->second.second;
        return -1;
    }
    PortFailure lastFailure() const override { return failure_; }
    std::string_view devicePath() const override { return device_; }

private:
    PortFailure failure_ = PortFailure::None;
    std::string device_;
};

class RefusedPorts : public ::testing::Test {
protected:
    RefusedPorts() {
        timers.setTickHandler([this](int id) { controller.onTick(id); });
    }

    // Runs a discovery to its end and returns what the operator was told.
    std::vector<std::string> discover() {
        prompts.messages.clear();
        controller.connectButton();
        clock.advanceBy(60'000);
        return prompts.messages;
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    RecordingHost host;
    RefusingPort port;
    link::LinkState state;
    core::Language language = core::Language::English;
    link::LinkController controller{state, port, timers, settings, prompts, host, language};
};

}  // namespace

TEST_F(RefusedPorts, TheMessageNamesEachPortOnceWithTheRemedy) {
    port.refusals["COM1"] = {PortFailure::PermissionDenied, "/dev/ttyUSB0"};
    port.refusals["COM3"] = {PortFailure::InUse, "/dev/ttyUSB2"};
    port.refusals["COM4"] = {PortFailure::NotFound, "/dev/ttyS3"};  // nothing the operator can mend
    // Both sweeps and the first attempt (stored port 1) try COM1.
    EXPECT_EQ(discover(), std::vector<std::string>{
                              "No available devices found!\n"
                              "No permission to open COM1 (/dev/ttyUSB0): join the dialout group "
                              "(sudo usermod -aG dialout $USER), log in again and connect.\n"
                              "In use by another program: COM3 (/dev/ttyUSB2). Close that program and connect again."});
    EXPECT_EQ(controller.view().messageLine, "Connect failed");

    language = core::Language::Chinese;
    EXPECT_EQ(discover(), std::vector<std::string>{
                              "找不到可用设备!\n"
                              "无权打开 COM1 (/dev/ttyUSB0)：请加入 dialout 组 (sudo usermod -aG dialout $USER)，"
                              "重新登录后再连接。\n"
                              "被其他程序占用：COM3 (/dev/ttyUSB2)。请关闭该程序后重新连接。"});
}

TEST_F(RefusedPorts, ManyRefusedPortsAreCountedAfterTheFirstThree) {
    // A user outside the dialout group meets the same refusal on every device.
    for (unsigned index = 1; index <= 15; ++index) {
        port.refusals[std::string(link::portName(index))] = {PortFailure::PermissionDenied,
                                                             "/dev/ttyS" + std::to_string(index - 1)};
    }
    const auto messages = discover();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("COM1 (/dev/ttyS0), COM2 (/dev/ttyS1), COM3 (/dev/ttyS2) and 12 more: join"),
              std::string::npos)
        << messages[0];

    language = core::Language::Chinese;
    const auto chinese = discover();
    ASSERT_EQ(chinese.size(), 1u);
    EXPECT_NE(chinese[0].find("COM1 (/dev/ttyS0)、COM2 (/dev/ttyS1)、COM3 (/dev/ttyS2) 等 15 个端口："),
              std::string::npos)
        << chinese[0];
}

TEST_F(RefusedPorts, EachDiscoveryTellsOnlyItsOwnRefusals) {
    port.refusals["COM3"] = {PortFailure::InUse, "/dev/ttyUSB2"};
    ASSERT_EQ(discover().size(), 1u);
    port.refusals.clear();  // the other program has let go
    EXPECT_EQ(discover(), std::vector<std::string>{"No available devices found!"});
}

// A station kept to one port names what is wrong with it, and a search that
// fails again and again for the same reason is logged once.
TEST_F(RefusedPorts, AKeptPortThatFailsIsNamedAndLoggedOnce) {
    LogCapture log;
    controller.keepToPort(4);
    port.refusals["COM4"] = {PortFailure::NotFound, "/dev/ttyUSB9"};
    EXPECT_EQ(discover(), std::vector<std::string>{"No available devices found!\nNo such device: /dev/ttyUSB9."});
    discover();
    port.refusals["COM4"] = {PortFailure::Settings, "/dev/null"};
    EXPECT_EQ(discover(),
              std::vector<std::string>{"No available devices found!\n/dev/null cannot be used as a serial port."});
    port.refusals.clear();
    EXPECT_EQ(discover(), std::vector<std::string>{"No available devices found!\nNo instrument answered on COM4."});
    EXPECT_EQ(log.count("discovery found no instrument on COM4 (/dev/ttyUSB9)"), 1u);
    EXPECT_EQ(log.count("discovery found no instrument"), 3u);
    EXPECT_FALSE(log.contains("COM1"));
}
