// The station program itself, started as the system starts it and stopped by
// a signal as the system stops it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <csignal>

namespace {

// True once the process has a handler of its own for `signal`.
bool catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signal - 1) & 1u) != 0;
    }
    return false;
}

class Program : public ::testing::TestWithParam<int> {
protected:
    void start() {
        ASSERT_TRUE(home_.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home_.path());
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        station_.setProcessEnvironment(environment);
        station_.setProgram(QStringLiteral(GAUGEMON_PROGRAM));
        station_.start();
        ASSERT_TRUE(station_.waitForStarted(30'000));
    }
    // Waits, within a bound that only a broken program reaches, until the
    // station is ready to take the signal; a signal sent earlier would end it
    // the default way whatever the program does.
    void awaitHandler(int signal) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!catches(station_.processId(), signal) && station_.state() == QProcess::Running &&
               std::chrono::steady_clock::now() < giveUp) {
            QThread::msleep(20);
        }
    }
    ~Program() override {
        if (station_.state() != QProcess::NotRunning) {
            station_.kill();
            station_.waitForFinished();
        }
    }

    QTemporaryDir home_;
    QProcess station_;
};

TEST_P(Program, EndsCleanlyWithStatusZeroOnTheStopSignal) {
    const int signal = GetParam();
    start();
    awaitHandler(signal);
    ASSERT_EQ(::kill(static_cast<pid_t>(station_.processId()), signal), 0);
    ASSERT_TRUE(station_.waitForFinished(60'000));
    EXPECT_EQ(station_.exitStatus(), QProcess::NormalExit) << "ended by the signal itself";
    EXPECT_EQ(station_.exitCode(), 0);
}

// A stop asked for before the window is up, even before the program could
// catch it (held back from its first instruction), ends it as cleanly.
TEST_P(Program, EndsCleanlyOnAStopSignalSentBeforeItIsUp) {
    const int signal = GetParam();
    station_.setChildProcessModifier([signal] {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, signal);
        ::sigprocmask(SIG_BLOCK, &stop, nullptr);
    });
    start();
    ASSERT_EQ(::kill(static_cast<pid_t>(station_.processId()), signal), 0);
    ASSERT_TRUE(station_.waitForFinished(60'000));
    EXPECT_EQ(station_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(station_.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(StopSignals, Program, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigint");
                         });

}  // namespace

namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program with `arguments` and no display at all.
ProgramRun runWithoutDisplay(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(GAUGEMON_PROGRAM), arguments);
    if (!program.waitForFinished(30'000)) program.kill();
    return {program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

TEST(CommandLine, HelpAndVersionNeedNoDisplayAndABadOptionIsNamed) {
    const ProgramRun version = runWithoutDisplay({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("gaugemon "))) << version.out.toStdString();

    const ProgramRun help = runWithoutDisplay({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--version"))) << help.out.toStdString();

    const ProgramRun bad = runWithoutDisplay({QStringLiteral("--no-such-option")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("no-such-option"))) << bad.err.toStdString();
}

}  // namespace
