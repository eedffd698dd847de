// The real serial port over a pseudo-terminal pair: the station opens the
// terminal side through a COMn link in a port directory, the test plays the
// instrument on the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <vector>

#include "link/frames.h"
#include "link/tty_serial_port.h"

using namespace gaugemon::link;
namespace fs = std::filesystem;

namespace {

constexpr int kEventWaitMs = 5000;  // only a guard against a hang; events come at once

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slavePath_ = ptsname(master_);
        // Held open by the test for a look at the terminal's input queue; the
        // port under test opens its own descriptor.
        watcher_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        closeMaster();
        if (watcher_ >= 0) ::close(watcher_);
    }

    bool ok() const { return master_ >= 0 && watcher_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    // The terminal's settings as the kernel holds them.
    termios settings() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }

    void send(const std::vector<uint8_t>& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Waits until the terminal side holds `count` input bytes.
    bool waitUntilQueued(int count) const {
        for (int round = 0; round < kEventWaitMs; ++round) {
            int queued = 0;
            ioctl(watcher_, FIONREAD, &queued);
            if (queued >= count) return true;
            pollfd fd{watcher_, POLLIN, 0};
            poll(&fd, 1, 1);
        }
        return false;
    }
    // What the station sent, once `count` bytes are there.
    std::vector<uint8_t> receive(size_t count) const {
        std::vector<uint8_t> bytes;
        uint8_t chunk[512];
        for (int round = 0; round < kEventWaitMs && bytes.size() < count; ++round) {
            pollfd fd{master_, POLLIN, 0};
            if (poll(&fd, 1, 1) <= 0) continue;
            const ssize_t got = read(master_, chunk, sizeof chunk);
            if (got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int watcher_ = -1;
    std::string slavePath_;
};

// A process id that no process has: a child that has ended.
pid_t endedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

void writeLock(const fs::path& file, pid_t holder) { std::ofstream(file) << holder << "\nsomeprogram\nsomehost\n"; }

std::string firstLineOf(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Runs `body` in a child process, as an unprivileged user other than the
// test's when the test runs as root; the child's exit code is what `body`
// returns, 0 when all went as expected.
int runAsAnotherUser(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

std::vector<uint8_t> counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(pty_.ok());
        fs::create_symlink(pty_.slavePath(), ports() / "COM3");
        fs::create_symlink(pty_.slavePath(), ports() / "COM12");
        fs::create_directory(locks());
    }
    fs::path ports() const { return fs::path(dir_.path().toStdString()); }
    // A lock directory of the test's own; the system's is left alone.
    fs::path locks() const { return ports() / "lock"; }
    int openCom3(LineSettings line = {}, int baud = 19200) { return port_.openPort("COM3", baud, line); }
    fs::path lockFile() const { return SerialLock({locks()}).lockFileFor(pty_.slavePath()); }
    TtySerialPort anotherStation() const { return TtySerialPort(PortDirectory(ports(), ports() / "dev"), {locks()}); }

    QTemporaryDir dir_;
    PseudoTerminal pty_;
    TtySerialPort port_{PortDirectory(ports(), ports() / "dev"), {locks()}};
};

}  // namespace

TEST_F(SerialPortTest, OpensThroughThePortDirectoryWithTheLineRule) {
    ASSERT_EQ(openCom3({0, 1}), 0) << port_.lastError();
    EXPECT_TRUE(port_.isOpen());
    EXPECT_EQ(port_.lastFailure(), PortFailure::None);
    EXPECT_EQ(port_.devicePath(), fs::canonical(pty_.slavePath()).string());
    termios t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    // Odd parity takes one stop bit whatever twoStopBits holds (the kernel of
    // a pseudo-terminal keeps the odd flag although it has no parity).
    ASSERT_EQ(port_.openPort("\\\\.\\COM12", 4800, {1, 1}), 0) << port_.lastError();
    t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(SerialPortTest, RefusedEvenParityDoesNotFailTheOpen) {
    ASSERT_EQ(openCom3({2, 1}, 9600), 0) << port_.lastError();
    const termios t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & PARODD);
}

TEST_F(SerialPortTest, FrameGoesOutWholeAndTheAnswerComesBack) {
    ASSERT_EQ(openCom3(), 0);
    const RequestFrame request = readingsRequest(1, 60);
    ASSERT_EQ(port_.writeFrame(request.data(), request.size()), 0);
    EXPECT_EQ(pty_.receive(8), std::vector<uint8_t>(request.begin(), request.end()));

    // A 60-probe answer arrives in one piece on a pseudo-terminal; the read
    // takes it although no event loop ran to collect it.
    const auto answer = counting(245);
    pty_.send(answer);
    ASSERT_TRUE(pty_.waitUntilQueued(245));
    uint8_t buffer[kReceiveBufferBytes];
    ASSERT_EQ(port_.readAvailable(buffer, sizeof buffer), 245u);
    EXPECT_TRUE(std::equal(answer.begin(), answer.end(), buffer));
    // Nothing more is there, and the read says so at once.
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 0u);
}

TEST_F(SerialPortTest, OneReadTakesAtMost300BytesAndLeavesTheRest) {
    ASSERT_EQ(openCom3(), 0);
    const auto flood = counting(1000);
    pty_.send(flood);
    ASSERT_TRUE(pty_.waitUntilQueued(1000));
    std::vector<uint8_t> got;
    uint8_t buffer[kReceiveBufferBytes];
    for (const size_t expected : {300u, 300u, 300u, 100u, 0u}) {
        const size_t n = port_.readAvailable(buffer, sizeof buffer);
        ASSERT_EQ(n, expected);
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, flood);
    // A smaller buffer is never overrun.
    pty_.send(counting(50));
    ASSERT_TRUE(pty_.waitUntilQueued(50));
    EXPECT_EQ(port_.readAvailable(buffer, 8), 8u);
}

TEST_F(SerialPortTest, StaleInputIsDroppedBeforeTheNextFrame) {
    ASSERT_EQ(openCom3(), 0);
    // A late answer to the previous request is still queued when the next goes out.
    pty_.send({0xAA, 0xBB, 0xCC});
    ASSERT_TRUE(pty_.waitUntilQueued(3));
    const RequestFrame request = formatFlagsRead(1);
    ASSERT_EQ(port_.writeFrame(request.data(), request.size()), 0);
    EXPECT_EQ(pty_.receive(8).size(), 8u);
    pty_.send({0x01, 0x03, 0x02, 0x00, 0x02});
    ASSERT_TRUE(pty_.waitUntilQueued(5));
    uint8_t buffer[16];
    ASSERT_EQ(port_.readAvailable(buffer, sizeof buffer), 5u);
    EXPECT_EQ(buffer[0], 0x01);
}

TEST_F(SerialPortTest, BaudChangeAppliesAtOnceAndDropsPendingInput) {
    ASSERT_EQ(openCom3(), 0);
    pty_.send({0x55, 0x55});
    ASSERT_TRUE(pty_.waitUntilQueued(2));
    port_.setBaudRate(38400, {0, 1});
    const termios t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    uint8_t buffer[16];
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 0u);
}

TEST_F(SerialPortTest, VanishedFarEndIsAFailureNotACrash) {
    ASSERT_EQ(openCom3(), 0);
    pty_.closeMaster();
    uint8_t buffer[16];
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(port_.lastFailure(), PortFailure::LineLost);
    EXPECT_NE(port_.lastError().find("COM3"), std::string::npos);
    const RequestFrame request = readingsRequest(1, 1);
    EXPECT_EQ(port_.writeFrame(request.data(), request.size()), -1);
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 0u);
}

TEST_F(SerialPortTest, VanishedFarEndLeavesTheEventLoopIdle) {
    ASSERT_EQ(openCom3(), 0);
    pty_.closeMaster();
    // A hung-up descriptor watched by the event loop would wake it on every
    // turn; the port keeps none there, and the next exchange finds the loss.
    QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher();
    ASSERT_NE(dispatcher, nullptr);
    for (int turn = 0; turn < 1000 && dispatcher->processEvents(QEventLoop::AllEvents); ++turn) {
    }
    for (int turn = 0; turn < 100; ++turn) EXPECT_FALSE(dispatcher->processEvents(QEventLoop::AllEvents));
    uint8_t buffer[16];
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(port_.lastFailure(), PortFailure::LineLost);
}

// Runs the event loop until `done` holds; false after kEventWaitMs.
bool processEventsUntil(const std::function<bool()>& done) {
    QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher();
    for (int round = 0; round < kEventWaitMs && !done(); ++round) {
        dispatcher->processEvents(QEventLoop::AllEvents);
        if (!done()) usleep(1000);
    }
    return done();
}

TEST_F(SerialPortTest, ArrivalsAreReportedWhileAHandlerIsSetAcrossReopening) {
    std::vector<uint8_t> received;
    int calls = 0;
    port_.setArrivalHandler([&] {
        ++calls;
        uint8_t buffer[kMaxReadBytes];
        const size_t got = port_.readAvailable(buffer, sizeof buffer);
        received.insert(received.end(), buffer, buffer + got);
    });
    ASSERT_EQ(openCom3(), 0);
    const auto answer = counting(245);
    pty_.send(answer);
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == answer.size(); }));
    EXPECT_EQ(received, answer);

    // The handler stays with the port when it is opened again.
    ASSERT_EQ(openCom3({}, 115200), 0);
    received.clear();
    pty_.send(counting(8));
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 8; }));

    // Without a handler the input waits for a read, and the loop sleeps.
    port_.setArrivalHandler({});
    const int callsBefore = calls;
    pty_.send(counting(5));
    ASSERT_TRUE(pty_.waitUntilQueued(5));
    QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher();
    for (int turn = 0; turn < 100; ++turn) dispatcher->processEvents(QEventLoop::AllEvents);
    EXPECT_EQ(calls, callsBefore);
    uint8_t buffer[16];
    EXPECT_EQ(port_.readAvailable(buffer, sizeof buffer), 5u);
}

TEST_F(SerialPortTest, ALineLostInsideTheArrivalHandlerLeavesTheEventLoopIdle) {
    int calls = 0;
    port_.setArrivalHandler([&] {
        ++calls;
        uint8_t buffer[16];
        port_.readAvailable(buffer, sizeof buffer);
    });
    ASSERT_EQ(openCom3(), 0);
    pty_.closeMaster();
    ASSERT_TRUE(processEventsUntil([&] { return !port_.isOpen(); }));
    EXPECT_EQ(port_.lastFailure(), PortFailure::LineLost);
    QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher();
    for (int turn = 0; turn < 1000 && dispatcher->processEvents(QEventLoop::AllEvents); ++turn) {
    }
    const int callsAtLoss = calls;
    for (int turn = 0; turn < 100; ++turn) EXPECT_FALSE(dispatcher->processEvents(QEventLoop::AllEvents));
    EXPECT_EQ(calls, callsAtLoss);
}

TEST_F(SerialPortTest, FailedWriteOnAVanishedLineIsReported) {
    ASSERT_EQ(openCom3(), 0);
    pty_.closeMaster();
    const RequestFrame request = readingsRequest(1, 1);
    EXPECT_EQ(port_.writeFrame(request.data(), request.size()), -1);
    EXPECT_FALSE(port_.isOpen());
}

TEST_F(SerialPortTest, OpenFailuresSayWhy) {
    fs::create_symlink(ports() / "nowhere", ports() / "COM4");
    EXPECT_EQ(port_.openPort("COM4", 19200, {}), -1);
    EXPECT_EQ(port_.lastFailure(), PortFailure::NotFound);
    EXPECT_NE(port_.lastError().find("nowhere"), std::string::npos) << port_.lastError();

    EXPECT_EQ(port_.openPort("LPT1", 19200, {}), -1);
    EXPECT_EQ(port_.lastFailure(), PortFailure::UnknownName);
    EXPECT_EQ(port_.openPort("COM0", 19200, {}), -1);
    EXPECT_EQ(port_.lastFailure(), PortFailure::UnknownName);

    // No link and no such device under the device root.
    EXPECT_EQ(port_.openPort("COM9", 19200, {}), -1);
    EXPECT_EQ(port_.lastFailure(), PortFailure::NotFound);
    EXPECT_NE(port_.lastError().find("ttyS8"), std::string::npos) << port_.lastError();
    EXPECT_FALSE(port_.isOpen());

    // A failure is forgotten by the next good open.
    ASSERT_EQ(openCom3(), 0);
    EXPECT_EQ(port_.lastFailure(), PortFailure::None);
    EXPECT_TRUE(port_.lastError().empty());
}

TEST_F(SerialPortTest, ASecondOpenerIsTurnedAway) {
    ASSERT_EQ(openCom3(), 0);
    TtySerialPort other = anotherStation();
    EXPECT_EQ(other.openPort("COM3", 19200, {}), -1);
    EXPECT_EQ(other.lastFailure(), PortFailure::InUse) << other.lastError();
    // Reopening by the owner closes and opens again.
    EXPECT_EQ(port_.openPort("COM3", 9600, {}), 0) << port_.lastError();
    port_.close();
    EXPECT_FALSE(port_.isOpen());
    EXPECT_EQ(other.openPort("COM3", 19200, {}), 0) << other.lastError();
}

TEST_F(SerialPortTest, MissingPermissionNamesTheGroup) {
    ASSERT_EQ(chmod(pty_.slavePath().c_str(), 0), 0);
    ASSERT_EQ(chmod(ports().c_str(), 0755), 0);
    // Root opens every device; the station runs as somebody else.
    const int outcome = runAsAnotherUser([&] {
        TtySerialPort station = anotherStation();
        if (station.openPort("COM3", 19200, {}) != -1) return 1;
        if (station.lastFailure() != PortFailure::PermissionDenied) return 2;
        if (station.lastError().find("dialout") == std::string::npos) return 3;
        return 0;
    });
    EXPECT_EQ(outcome, 0);
}

// ---------------------------------------------------------------- the device's lock

TEST_F(SerialPortTest, TheLockIsTakenAsSerialProgramsAgreeAndRemovedAtClose) {
    ASSERT_EQ(openCom3(), 0) << port_.lastError();
    const fs::path lock = lockFile();
    EXPECT_EQ(lock.filename().string(), "LCK..pts_" + pty_.slavePath().substr(std::string("/dev/pts/").size()));
    std::ifstream in(lock);
    std::string pid, program, host;
    std::getline(in, pid);
    std::getline(in, program);
    std::getline(in, host);
    EXPECT_EQ(pid, std::to_string(getpid()));
    // Qt programs check the holder's program name against the running process.
    EXPECT_EQ(program, fs::read_symlink("/proc/self/exe").filename().string());
    EXPECT_FALSE(host.empty());
    port_.close();
    EXPECT_FALSE(fs::exists(lock));
}

TEST_F(SerialPortTest, ARunningHolderKeepsThePort) {
    const fs::path lock = lockFile();
    writeLock(lock, getppid());
    EXPECT_EQ(openCom3(), -1);
    EXPECT_EQ(port_.lastFailure(), PortFailure::InUse);
    EXPECT_NE(port_.lastError().find("process " + std::to_string(getppid())), std::string::npos) << port_.lastError();
    EXPECT_EQ(firstLineOf(lock), std::to_string(getppid())) << "another program's lock is never touched";
}

TEST_F(SerialPortTest, ALockLeftByAKilledProgramIsReplaced) {
    const fs::path lock = lockFile();
    writeLock(lock, endedProcess());
    ASSERT_EQ(openCom3(), 0) << port_.lastError();
    EXPECT_EQ(firstLineOf(lock), std::to_string(getpid()));
    port_.close();
    EXPECT_FALSE(fs::exists(lock));
}

// Another user's lock in the sticky /run/lock, or any lock in a directory
// the station may not write, stays where it is; the port opens all the same,
// and the device itself still keeps a second opener out.
TEST_F(SerialPortTest, ALockLeftBehindThatCannotBeRemovedIsPassedOver) {
    const fs::path lock = lockFile();
    writeLock(lock, endedProcess());
    ASSERT_EQ(chmod(pty_.slavePath().c_str(), 0666), 0);
    ASSERT_EQ(chmod(ports().c_str(), 0755), 0);
    ASSERT_EQ(chmod(locks().c_str(), 0555), 0);
    const int outcome = runAsAnotherUser([&] {
        TtySerialPort station = anotherStation();
        if (station.openPort("COM3", 19200, {}) != 0) return 1;
        if (!fs::exists(lock)) return 2;
        TtySerialPort second = anotherStation();
        if (second.openPort("COM3", 19200, {}) != -1) return 3;
        if (second.lastFailure() != PortFailure::InUse) return 4;
        return 0;
    });
    chmod(locks().c_str(), 0755);
    EXPECT_EQ(outcome, 0);
}

// Seen with the system's lock directory: a station killed while connected
// left LCK..<device> behind, and every other user was told "No available
// devices found!" until someone removed it by hand.
TEST_F(SerialPortTest, ALockLeftBehindByAnotherUserDoesNotKeepThePort) {
    if (geteuid() != 0) GTEST_SKIP() << "needs a second user: run as root";
    const fs::path lock = SerialLock().lockFileFor(pty_.slavePath());
    if (lock.empty()) GTEST_SKIP() << "no system lock directory";
    ASSERT_FALSE(fs::exists(lock));
    writeLock(lock, endedProcess());
    ASSERT_EQ(chmod(pty_.slavePath().c_str(), 0666), 0);
    const std::string device = pty_.slavePath();
    const int outcome = runAsAnotherUser([&] {
        TtySerialPort station;
        return station.openPort(device, 19200, {}) == 0 ? 0 : 1;
    });
    fs::remove(lock);
    EXPECT_EQ(outcome, 0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
