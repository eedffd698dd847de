// What the real serial port leaves in the log: its failures with their
// reason, and with the frame trace on, each exchange with the gaugesim
// program in hex.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
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
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handle)) { current_ = this; }
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
    // The first line of gaugemon.link holding all of `parts`, or null.
    const LogLine* linkLine(std::initializer_list<std::string> parts) const {
        for (const LogLine& line : lines_) {
            bool all = line.category == QLatin1String("gaugemon.link");
            for (const std::string& part : parts) all = all && line.text.contains(QString::fromStdString(part));
            if (all) return &line;
        }
        return nullptr;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (current_ != nullptr) current_->lines_.push_back({QString::fromLatin1(context.category), type, text});
    }
    static inline LogCapture* current_ = nullptr;
    QtMessageHandler previous_;
    std::vector<LogLine> lines_;
};

std::string hexOf(const uint8_t* bytes, size_t count) {
    const QByteArray raw(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count));
    return raw.toHex(' ').toUpper().toStdString();
}

// The gaugesim program on COM3 of a private port directory, which also holds
// the lock files.
class PortLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(sim_.waitForLink("COM3"));
    }
    TtySerialPort station() const { return TtySerialPort(PortDirectory(ports(), ports() / "no-devices"), {ports()}); }
    fs::path ports() const { return dir_.path().toStdString(); }

    // Sends `request` and gathers the answer until `answerLength` bytes are
    // in (or a generous bound of real time has passed).
    static std::vector<uint8_t> exchange(TtySerialPort& port, const RequestFrame& request, size_t answerLength) {
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

    QTemporaryDir dir_;
    gaugemon::testing::GaugesimProcess sim_{ports(),
                                            {"--port", "COM3", "--probes", "8", "--signal", "all=constant:2500"}};
};

// Runs `body` in a child process, as an unprivileged user when the test runs
// as root (root opens every file); the child's exit code is what `body`
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

}  // namespace

TEST_F(PortLogTest, TheFrameTraceIsSilentUntilSwitchedOnThenShowsEachPollExchangeInHexWithItsTime) {
    TtySerialPort port = station();
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
                                  QString::fromStdString(hexOf(request.data(), request.size())) + '$');
    EXPECT_TRUE(sent.match(frames.front().text).hasMatch()) << frames.front().text.toStdString();
    // The answer may come in pieces; together they are what the port read.
    QStringList received;
    for (const LogLine& line : frames) {
        const qsizetype at = line.text.indexOf(QLatin1String(" COM3 <- "));
        if (at > 0) received << line.text.mid(at + 9);
        EXPECT_EQ(line.type, QtDebugMsg);
    }
    EXPECT_EQ(received.join(' ').toStdString(), hexOf(answer.data(), answer.size()));
    EXPECT_TRUE(received.join(' ').startsWith(QLatin1String("01 03 20")));
}

TEST_F(PortLogTest, FailuresAreWarningsWithTheirReasonButAMissingPortOnlyDebugOutput) {
    fs::create_symlink(ports() / "nowhere", ports() / "COM4");
    LogCapture log;
    TtySerialPort first = station();
    ASSERT_EQ(first.openPort("COM3", 19200, {}), 0) << first.lastError();
    TtySerialPort second = station();
    ASSERT_EQ(second.openPort("COM3", 19200, {}), -1);
    const LogLine* busy = log.linkLine({"COM3", "in use by another program"});
    ASSERT_NE(busy, nullptr);
    EXPECT_EQ(busy->type, QtWarningMsg);

    // Discovery meets missing ports at every sweep.
    ASSERT_EQ(second.openPort("COM4", 19200, {}), -1);
    EXPECT_EQ(log.linkLine({"COM4"}), nullptr);
    core::enableTrace();
    ASSERT_EQ(second.openPort("COM4", 19200, {}), -1);
    const LogLine* missing = log.linkLine({"COM4", "no such device", "nowhere"});
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->type, QtDebugMsg);
}

TEST(PortLog, APermissionRefusalIsLoggedWithTheDeviceAndTheRemedy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path ports = dir.path().toStdString();
    // Nobody but root may open it; that the file is no terminal is never found out.
    const fs::path device = ports / "ttyUSB0";
    std::ofstream{device};
    ASSERT_EQ(chmod(device.c_str(), 0), 0);
    ASSERT_EQ(chmod(ports.c_str(), 0755), 0);
    fs::create_symlink(device, ports / "COM3");
    const int outcome = runAsAnotherUser([&] {
        LogCapture log;
        TtySerialPort station{PortDirectory(ports, ports / "dev"), {ports}};
        if (station.openPort("COM3", 19200, {}) != -1) return 1;
        const LogLine* refusal = log.linkLine({"COM3", "no permission", device.string(), "dialout"});
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
