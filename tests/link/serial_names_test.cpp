// Port names, their devices on Linux, and the line rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "link/port_directory.h"
#include "link/serial_port.h"

using namespace gaugemon::link;
namespace fs = std::filesystem;

TEST(PortNames, TableNamesCarryTheirOwnIndex) {
    EXPECT_EQ(portName(0), "COM0");
    EXPECT_EQ(portName(9), "COM9");
    EXPECT_EQ(portName(12), "\\\\.\\COM12");
    EXPECT_EQ(portName(kPortNameCount), "");
    for (unsigned index = 0; index < kPortNameCount; ++index) {
        EXPECT_EQ(PortDirectory::portNumber(portName(index)), index) << portName(index);
    }
}

TEST(PortNames, OnlyComNamesAreNumbered) {
    struct Case {
        const char* name;
        std::optional<unsigned> number;
    };
    const Case cases[] = {
        {"COM1", 1},
        {"com7", 7},
        {"\\\\.\\COM16", 16},
        {"COM255", 255},
        {"COM256", std::nullopt},
        {"COM", std::nullopt},
        {"COM1A", std::nullopt},
        {"COM-1", std::nullopt},
        {"LPT1", std::nullopt},
        {"\\\\.\\", std::nullopt},
        {"", std::nullopt},
        {"COM0001", std::nullopt},
        {"XCOM1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(PortDirectory::portNumber(c.name), c.number) << c.name;
}

class PortDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("gaugemon-ports-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(links());
        fs::create_directories(devices());
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path links() const { return root_ / "ports"; }
    fs::path devices() const { return root_ / "dev"; }
    void device(const char* name) const { std::ofstream(devices() / name).put('\n'); }
    std::string dev(const char* name) const { return (devices() / name).string(); }

    fs::path root_;
};

TEST_F(PortDirectoryTest, WithoutALinkComNIsTheNthAdapterOrBuiltInPort) {
    device("ttyUSB0");
    device("ttyACM0");
    device("ttyACM1");
    device("ttyS1");
    const PortDirectory directory(links(), devices());
    EXPECT_EQ(directory.devicePath("COM1"), dev("ttyUSB0"));  // USB before ACM
    EXPECT_EQ(directory.devicePath("COM2"), dev("ttyACM1"));  // ACM before built-in
    EXPECT_EQ(directory.devicePath("COM5"), dev("ttyS4"));    // the last resort, even if absent
    EXPECT_EQ(directory.devicePath("\\\\.\\COM12"), dev("ttyS11"));
    EXPECT_EQ(directory.devicePath("COM0"), "");
    EXPECT_EQ(directory.devicePath("PRN"), "");
}

TEST_F(PortDirectoryTest, ALinkStandsForItsPort) {
    device("ttyUSB0");
    device("by-id-adapter");
    fs::create_symlink(devices() / "by-id-adapter", links() / "COM1");
    fs::create_symlink(devices() / "by-id-adapter", links() / "COM12");
    fs::create_symlink(devices() / "unplugged", links() / "COM2");
    device("node");
    fs::copy_file(devices() / "node", links() / "COM0");
    const PortDirectory directory(links(), devices());
    EXPECT_EQ(directory.devicePath("COM1"), fs::canonical(devices() / "by-id-adapter").string());
    EXPECT_EQ(directory.devicePath("\\\\.\\COM12"), fs::canonical(devices() / "by-id-adapter").string());
    EXPECT_EQ(directory.entryFor("\\\\.\\COM12"), links() / "COM12");
    // A dangling link is still the port: opening its target fails, the
    // default device is not tried.
    EXPECT_EQ(directory.devicePath("COM2"), (devices() / "unplugged").string());
    fs::create_symlink("../dev/gone", links() / "COM3");
    EXPECT_EQ(directory.devicePath("COM3"), (devices() / "gone").string());
    // Even COM0 can be given a device.
    EXPECT_EQ(directory.devicePath("COM0"), fs::canonical(links() / "COM0").string());
    // A path is taken as it is.
    EXPECT_EQ(directory.devicePath("/dev/ttyUSB7"), "/dev/ttyUSB7");
}

TEST_F(PortDirectoryTest, SimulatorLinksAndUnlinksItsPort) {
    device("pts7");
    device("pts8");
    const PortDirectory directory(links() / "created" / "on" / "demand", devices());
    ASSERT_FALSE(directory.linkPort("COM3", devices() / "pts7"));
    EXPECT_EQ(directory.devicePath("COM3"), fs::canonical(devices() / "pts7").string());
    // A second simulator on the same name takes it over.
    ASSERT_FALSE(directory.linkPort("\\\\.\\COM3", devices() / "pts8"));
    EXPECT_EQ(directory.devicePath("COM3"), fs::canonical(devices() / "pts8").string());
    // The first one leaving does not remove the second one's link.
    directory.unlinkPort("COM3", devices() / "pts7");
    EXPECT_EQ(directory.devicePath("COM3"), fs::canonical(devices() / "pts8").string());
    directory.unlinkPort("COM3", devices() / "pts8");
    EXPECT_FALSE(fs::exists(fs::symlink_status(directory.entryFor("COM3"))));
    EXPECT_TRUE(directory.linkPort("AUX", devices() / "pts7"));
    EXPECT_EQ(fs::directory_iterator(directory.directory()), fs::directory_iterator());
}

TEST(PortDirectory, DefaultDirectoryIsUnderTheUsersHome) {
    const char* saved = getenv("HOME");
    const std::string previous = saved ? saved : "";
    setenv("HOME", "/home/operator", 1);
    EXPECT_EQ(PortDirectory::defaultDirectory(), fs::path("/home/operator/.local/share/gaugemon/ports"));
    EXPECT_EQ(PortDirectory().entryFor("COM3"), fs::path("/home/operator/.local/share/gaugemon/ports/COM3"));
    if (saved) {
        setenv("HOME", previous.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

TEST(LineRule, ParityCodeDecidesParityAndStopBits) {
    struct Case {
        LineSettings line;
        Parity parity;
        StopBits stop;
    };
    const Case cases[] = {
        {{0, 0}, Parity::None, StopBits::One},    {{0, 1}, Parity::None, StopBits::Two},
        {{1, 0}, Parity::Odd, StopBits::One},     {{1, 1}, Parity::Odd, StopBits::One},
        {{2, 1}, Parity::Even, StopBits::One},    {{3, 1}, Parity::None, StopBits::Two},
        {{0xFF, 0}, Parity::None, StopBits::One},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parityOf(c.line), c.parity) << int(c.line.parityCode) << '/' << int(c.line.twoStopBits);
        EXPECT_EQ(stopBitsOf(c.line), c.stop) << int(c.line.parityCode) << '/' << int(c.line.twoStopBits);
    }
}
