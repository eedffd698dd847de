// The real program without a window, over a pseudo-terminal against gaugesim:
// it finds the instrument, records, and on SIGTERM writes its files and ends 0.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "headless_program.h"

using namespace gaugemon::testing;
namespace fs = std::filesystem;

namespace {

// The day's backup written last in `directory`; empty when there is none.
fs::path newestBackup(const fs::path& directory) {
    fs::path newest;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("bak") || !name.ends_with(".xls")) continue;
        if (newest.empty() || entry.last_write_time() > fs::last_write_time(newest)) newest = entry.path();
    }
    return newest;
}

TEST(HeadlessProgram, RecordsAgainstTheSimulatorAndWritesItsFilesOnSigterm) {
    QTemporaryDir home;
    const fs::path ports = fs::path(home.path().toStdString()) / "ports";
    GaugesimProcess gaugesim(ports, {"--port", "COM2", "--probes", "60", "--baud", "115200"});
    ASSERT_TRUE(gaugesim.waitForLink("COM2"));

    const fs::path exports = fs::path(home.path().toStdString()) / "exports";
    HeadlessProgram program(home.path());
    program.start({"--headless", "--port", QString::fromStdString((ports / "COM2").string()), "--record-every", "0.2",
                   "--export-dir", QString::fromStdString(exports.string()), "--station", "line7"});
    QString log;
    ASSERT_TRUE(runEventsUntil(
        [&] {
            log += program.log();
            return log.contains("recording a row every 0.2 s");
        },
        20'000))
        << log.toStdString();
    runEventsFor(2'000);
    ASSERT_EQ(program.stop(), 0);
    log += program.log();

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(exports)) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().starts_with("line7_"));
    const std::string exported = readFile(files[0]);
    const size_t rows = lineCount(exported) - 1;
    EXPECT_GE(rows, 5u);
    EXPECT_TRUE(log.contains(QStringLiteral("%1 rows exported to").arg(rows))) << log.toStdString();
    // The day's backup was written from the same table just before: the same bytes.
    const QRegularExpressionMatch backups = QRegularExpression("backups in (\\S+)").match(log);
    ASSERT_TRUE(backups.hasMatch()) << log.toStdString();
    const fs::path backup = newestBackup(backups.captured(1).toStdString());
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(readFile(backup), exported) << backup;
    fs::remove(backup);
    EXPECT_TRUE(log.contains("stopped")) << log.toStdString();
}

// A port that is not there: the station names the device, keeps looking
// instead of ending, and leaves no port directory of its own behind.
TEST(HeadlessProgram, KeepsLookingWithoutAnInstrumentAndEndsCleanly) {
    QTemporaryDir home;
    HeadlessProgram program(home.path());
    const QString device = home.path() + "/no-such-device";
    program.start({"--headless", "--port", device, "--language", "en"});
    ASSERT_TRUE(program.process().waitForStarted());
    QString log;
    ASSERT_TRUE(runEventsUntil(
        [&] {
            log += program.log();
            return log.contains("looking for its instrument");
        },
        10'000));
    runEventsFor(1'500);
    EXPECT_EQ(program.process().state(), QProcess::Running);
    const fs::path ownPorts = fs::path("run") / ("ports-" + std::to_string(program.process().processId()));
    EXPECT_EQ(program.stop(SIGINT), 0);
    log += program.log();
    EXPECT_EQ(log.count("No such device: " + device), 1) << log.toStdString();
    const QRegularExpressionMatch data = QRegularExpression("backups in (\\S+)").match(log);
    ASSERT_TRUE(data.hasMatch()) << log.toStdString();
    EXPECT_FALSE(fs::exists(fs::path(data.captured(1).toStdString()) / ownPorts));
}

// Two instruments on one PC under one account: each station on a profile of
// its own keeps its settings, backups, journal and rows apart from the
// other's, and a third started on a profile in use says so and ends.
TEST(HeadlessProgram, TwoProfilesRunSideBySideWithoutSharingAFile) {
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    const fs::path profiles = root / ".local" / "share" / "gaugemon" / "profiles";
    struct Line {
        QString profile;
        int probes;
        std::unique_ptr<GaugesimProcess> gaugesim;
        std::unique_ptr<HeadlessProgram> program;
        QString log;
    };
    std::vector<Line> lines;
    lines.push_back({"lineA", 4, nullptr, nullptr, {}});
    lines.push_back({"lineB", 6, nullptr, nullptr, {}});
    for (Line& line : lines) {
        const fs::path ports = profiles / line.profile.toStdString() / "ports";
        line.gaugesim = std::make_unique<GaugesimProcess>(
            ports, QStringList{"--port", "COM1", "--probes", QString::number(line.probes), "--baud", "115200"});
        ASSERT_TRUE(line.gaugesim->waitForLink("COM1"));
        line.program = std::make_unique<HeadlessProgram>(home.path());
        line.program->start({"--headless", "--profile", line.profile, "--port", "COM1", "--record-every", "0.2",
                             "--station", line.profile, "--export-dir",
                             QString::fromStdString((root / "exports" / line.profile.toStdString()).string())});
    }
    for (Line& line : lines)
        ASSERT_TRUE(runEventsUntil(
            [&] {
                line.log += line.program->log();
                return line.log.contains("recording a row every 0.2 s");
            },
            20'000))
            << line.log.toStdString();

    HeadlessProgram second(home.path());
    second.start({"--headless", "--profile", "lineA", "--language", "en"});
    ASSERT_TRUE(second.process().waitForFinished(10'000));
    EXPECT_EQ(second.process().exitCode(), 3);
    EXPECT_TRUE(second.log().contains(R"(The station of profile "lineA" is already running.)"));

    runEventsFor(1'500);
    for (Line& line : lines) {
        ASSERT_EQ(line.program->stop(), 0);
        line.log += line.program->log();
        const std::string name = line.profile.toStdString();
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::exists(root / ".config" / "VELMORA" / ("gaugemon-" + name + ".conf")));
        EXPECT_TRUE(fs::exists(profiles / name / "journal.db"));
        // Every row of the run is in the export of its own profile, with its own instrument's probes.
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(root / "exports" / name)) files.push_back(entry.path());
        ASSERT_EQ(files.size(), 1u);
        const std::string exported = readFile(files[0]);
        EXPECT_TRUE(line.log.contains(QStringLiteral("%1 rows exported to").arg(lineCount(exported) - 1)));
        const QRegularExpressionMatch data = QRegularExpression("backups in (\\S+)").match(line.log);
        ASSERT_TRUE(data.hasMatch()) << line.log.toStdString();
        const fs::path backups = data.captured(1).toStdString();
        EXPECT_TRUE(backups.string().ends_with("/profiles/" + name + "/")) << backups;
        const fs::path backup = newestBackup(backups);
        ASSERT_FALSE(backup.empty());
        EXPECT_EQ(readFile(backup), exported);
        fs::remove_all(backups);
    }
    EXPECT_FALSE(fs::exists(root / ".config" / "VELMORA" / "gaugemon.conf"));
    // Each file holds its own instrument's columns only.
    const std::string a = readFile(*fs::directory_iterator(root / "exports" / "lineA"));
    const std::string b = readFile(*fs::directory_iterator(root / "exports" / "lineB"));
    const auto firstRowTabs = [](const std::string& file) {
        const size_t start = file.find('\n') + 1;
        return std::count(file.begin() + static_cast<std::ptrdiff_t>(start),
                          file.begin() + static_cast<std::ptrdiff_t>(file.find('\n', start)), '\t');
    };
    EXPECT_EQ(firstRowTabs(b) - firstRowTabs(a), 2);
}

// A profile the station cannot hold, or settings it cannot read, end the
// start at once with the reason and status, and the settings stay as they were.
TEST(HeadlessProgram, RefusesToStartOnAProfileItCannotHoldOrOnSettingsItCannotRead) {
    enum class Settings { Usual, Fifo, Unreadable };
    struct Case {
        const char* name;
        bool lockIsADirectory;
        bool profileHeld;
        Settings settings;
        int status;
        std::vector<QString> said;
    };
    const std::vector<Case> cases = {
        {"the lock is a directory", true, false, Settings::Usual, 3, {"station.lock", "Is a directory"}},
        {"the settings are a FIFO", false, false, Settings::Fifo, 4, {"gaugemon-p.conf", "not a regular file"}},
        {"a FIFO on a profile in use", false, true, Settings::Fifo, 3, {R"(profile "p" is already running)"}},
        {"the settings are another's", false, false, Settings::Unreadable, 4, {"gaugemon-p.conf", "Permission denied"}},
    };
    // Root reads any file, so the station runs as nobody to meet one it may not read.
    const bool asNobody = ::geteuid() == 0;
    const std::string text = "[Settings]\nTL01=11811\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        const fs::path root = home.path().toStdString();
        const fs::path lock = root / ".local" / "share" / "gaugemon" / "profiles" / "p" / "station.lock";
        const fs::path settings = root / ".config" / "VELMORA" / "gaugemon-p.conf";
        fs::create_directories(lock.parent_path());
        fs::create_directories(settings.parent_path());
        if (c.lockIsADirectory) fs::create_directory(lock);
        const int held = c.profileHeld ? ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
        if (c.profileHeld) {
            ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        }
        if (c.settings == Settings::Fifo) {
            ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
        }
        HeadlessProgram program(home.path());
        if (c.settings == Settings::Unreadable) {
            std::ofstream(settings) << text;
            if (asNobody) {
                for (const auto& entry : fs::recursive_directory_iterator(root))
                    ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
                ASSERT_EQ(::chown(root.c_str(), 65534, 65534), 0);
                ASSERT_EQ(::chown(settings.c_str(), 0, 0), 0);
                ASSERT_EQ(::chmod(settings.c_str(), 0600), 0);
                program.process().setChildProcessModifier([] {
                    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
                });
            } else {
                ASSERT_EQ(::chmod(settings.c_str(), 0), 0);
            }
        }
        program.start({"--headless", "--profile", "p", "--language", "en"});
        const bool ended = program.process().waitForFinished(10'000);
        if (held >= 0) ::close(held);
        if (!ended) {
            ADD_FAILURE() << "still running: " << program.log().toStdString();
            continue;
        }
        const QString log = program.log();
        EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.process().exitCode(), c.status) << log.toStdString();
        for (const QString& part : c.said) EXPECT_TRUE(log.contains(part)) << log.toStdString();
        if (c.settings == Settings::Fifo) {
            EXPECT_TRUE(fs::is_fifo(settings));
        }
        if (c.settings == Settings::Unreadable) {
            ASSERT_EQ(::chmod(settings.c_str(), 0600), 0);
            EXPECT_EQ(readFile(settings), text);
        }
    }
}

// A stop asked for before the station is up, even before the program could
// catch it (held back from its first instruction), ends it as cleanly as
// one that comes later.
TEST(HeadlessProgram, AStopSignalDuringTheStartEndsItCleanly) {
    QTemporaryDir home;
    HeadlessProgram program(home.path());
    program.process().setChildProcessModifier([] {
        sigset_t stop;
        sigemptyset(&stop);
        sigaddset(&stop, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &stop, nullptr);
    });
    program.start({"--headless", "--port", home.path() + "/no-such-device", "--language", "en"});
    ASSERT_TRUE(program.process().waitForStarted());
    EXPECT_EQ(program.stop(SIGTERM), 0) << program.log().toStdString();
}

}  // namespace
