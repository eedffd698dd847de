// What the real serial port leaves in the log: its failures with their
// reason, and with the frame trace on, each exchange with the gaugesim
// program in hex.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <vector>

#include "core/logging.h"
#include "link/frames.h"
#include "link/tty_serial_port.h"
#include "support/gaugesim_process.h"

using namespace gaugemon;
using namespace gaugemon::link;
namespace fs = std::filesystem;

namespace {

struct LogLine {
    QString category;
    QtMsgType type;
    QString text;
};

// Catches every message while it lives; the rules set meanwhile are undone.
class LogCapture {
public:
    LogCapture() {
        current_ = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    std::vector<LogLine> of(const char* category) const {
        std::vector<LogLine> found;
        for (const LogLine& line : lines_) {
            if (line.category == QLatin1String(category)) found.push_back(line);
        }
        return found;
    }
    // The first line of `category` holding all of `parts`, or null.
    const LogLine* find(const char* category, std::initializer_list<const char*> parts) const {
        for (const LogLine& line : lines_) {
            if (line.category != QLatin1String(category)) continue;
            bool all = true;
            for (const char* part : parts) all = all && line.text.contains(QLatin1String(part));
            if (all) return &line;
        }
        return nullptr;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (current_ != nullptr) current_->lines_.push_back({QString::fromLatin1(context.category), type, text});
    }
    static inline LogCapture* current_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    std::vector<LogLine> lines_;
};

QString hexOf(const uint8_t* bytes, size_t count) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count)).toHex(' ').toUpper());
}

// Sends `request` and gathers the answer until `answerLength` bytes are in
// (or a generous bound of real time has passed).
std::vector<uint8_t> exchange(TtySerialPort& port, const RequestFrame& request, size_t answerLength) {
    std::vector<uint8_t> answer;
    if (port.writeFrame(request.data(), request.size()) != 0) return answer;
    gaugemon::testing::runEventsUntil(
        [&] {
            uint8_t chunk[kMaxReadBytes];
            const size_t got = port.readAvailable(chunk, sizeof chunk);
            answer.insert(answer.end(), chunk, chunk + got);
            return answer.size() >= answerLength;
        },
        5000);
    return answer;
}

// Runs `body` in a child process, as an unprivileged user when the test runs
// as root (root opens every device); the child's exit code is what `body`
// returns.
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

class PseudoTerminalDevice {
public:
    PseudoTerminalDevice() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
    }
    ~PseudoTerminalDevice() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace

TEST(FrameTrace, IsSilentUntilSwitchedOnThenShowsEachPollExchangeInHexWithItsTime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path ports = dir.path().toStdString();
    gaugemon::testing::GaugesimProcess sim(ports, {"--port", "COM3", "--probes", "8", "--signal", "all=constant:2500"});
    ASSERT_TRUE(sim.waitForLink("COM3"));
    TtySerialPort port{PortDirectory(ports, ports / "no-devices"), {ports}};
    ASSERT_EQ(port.openPort("COM3", 19200, {}), 0) << port.lastError();
    const RequestFrame request = readingsRequest(1, 8);
    const size_t answerLength = readingsAnswerLength(8);

    LogCapture log;
    ASSERT_EQ(exchange(port, request, answerLength).size(), answerLength);
    EXPECT_TRUE(log.of("gaugemon.link.frames").empty());

    core::enableTrace();
    const std::vector<uint8_t> answer = exchange(port, request, answerLength);
    ASSERT_EQ(answer.size(), answerLength);
    const std::vector<LogLine> frames = log.of("gaugemon.link.frames");
    ASSERT_FALSE(frames.empty());
    const QRegularExpression sent(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} COM3 -> ") +
                                  QRegularExpression::escape(hexOf(request.data(), request.size())) + '$');
    EXPECT_TRUE(sent.match(frames.front().text).hasMatch()) << frames.front().text.toStdString();
    // The answer may come in pieces; together they are what the port read.
    QStringList received;
    for (const LogLine& line : frames) {
        const qsizetype at = line.text.indexOf(QLatin1String(" COM3 <- "));
        if (at > 0) received << line.text.mid(at + 9);
        EXPECT_EQ(line.type, QtDebugMsg);
    }
    EXPECT_EQ(received.join(' ').toStdString(), hexOf(answer.data(), answer.size()).toStdString());
    EXPECT_TRUE(received.join(' ').startsWith(QLatin1String("01 03 20")));
}

TEST(PortLog, FailuresReachTheLogWithTheirReasonAndAMissingPortOnlyWhenAskedFor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path ports = dir.path().toStdString();
    PseudoTerminalDevice device;
    ASSERT_FALSE(device.path().empty());
    fs::create_symlink(device.path(), ports / "COM3");
    fs::create_symlink(ports / "nowhere", ports / "COM4");
    const auto station = [&] { return TtySerialPort(PortDirectory(ports, ports / "dev"), {ports}); };

    LogCapture log;
    TtySerialPort first = station();
    ASSERT_EQ(first.openPort("COM3", 19200, {}), 0) << first.lastError();
    TtySerialPort second = station();
    ASSERT_EQ(second.openPort("COM3", 19200, {}), -1);
    const LogLine* busy = log.find("gaugemon.link", {"COM3", "in use by another program"});
    ASSERT_NE(busy, nullptr);
    EXPECT_EQ(busy->type, QtWarningMsg);

    // Discovery meets a missing port at every sweep: not a warning.
    ASSERT_EQ(second.openPort("COM4", 19200, {}), -1);
    EXPECT_EQ(log.find("gaugemon.link", {"COM4"}), nullptr);
    core::enableTrace();
    ASSERT_EQ(second.openPort("COM4", 19200, {}), -1);
    const LogLine* missing = log.find("gaugemon.link", {"COM4", "no such device", "nowhere"});
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->type, QtDebugMsg);
}

TEST(PortLog, APermissionRefusalIsLoggedWithTheDeviceAndTheRemedy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path ports = dir.path().toStdString();
    PseudoTerminalDevice device;
    ASSERT_FALSE(device.path().empty());
    fs::create_symlink(device.path(), ports / "COM3");
    ASSERT_EQ(chmod(device.path().c_str(), 0), 0);
    ASSERT_EQ(chmod(ports.c_str(), 0755), 0);
    const int outcome = runAsAnotherUser([&] {
        LogCapture log;
        TtySerialPort station{PortDirectory(ports, ports / "dev"), {ports}};
        if (station.openPort("COM3", 19200, {}) != -1) return 1;
        const LogLine* refusal =
            log.find("gaugemon.link", {"COM3", "no permission", device.path().c_str(), "dialout"});
        if (refusal == nullptr) return 2;
        return refusal->type == QtWarningMsg ? 0 : 3;
    });
    EXPECT_EQ(outcome, 0);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
