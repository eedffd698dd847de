// The unattended station in virtual time against the in-process instrument:
// it keeps looking for its instrument, exports each period's rows to a file
// of their own, and its file is the window's Export byte for byte.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "headless/export_names.h"
#include "headless/headless_station.h"
#include "headless/log_prompts.h"
#include "headless/run_headless.h"
#include "headless/settings_overrides.h"
#include "headless_program.h"
#include "sim/simulated_ports.h"
#include "station/working_day.h"
#include "support/log_capture.h"
#include "support/memory_settings_store.h"
#include "support/virtual_time.h"

using namespace gaugemon;
using namespace gaugemon::testing;
namespace fs = std::filesystem;

namespace {

class Unattended : public ::testing::Test {
protected:
    Unattended() {
        directory_ = fs::temp_directory_path() / ("gaugemon-headless-" + std::to_string(::getpid()));
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
    }
    ~Unattended() override {
        station.reset();
        model.reset();
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }
    void open(std::optional<double> recordEverySeconds = {}, headless::Rotation rotation = headless::Rotation::Daily,
              const std::string& journal = {}) {
        const headless::UnattendedWork work{recordEverySeconds, exporting ? exports().string() : std::string(),
                                            rotation, "line1"};
        station.reset();
        model.reset();
        const station::StationSeams seams{*store, timers, clock, line, prompts, directory_.string() + "/", journal};
        model = std::make_unique<station::Station>(seams);
        station = std::make_unique<headless::HeadlessStation>(*model, seams, ownTimers, work);
        if (keptPort) station->station().keepToPort(*keptPort);
        station->start();
    }
    bool connect(int64_t limitMs = 60'000) {
        return clock.runUntil(
            [&] {
                // Recording starts after the connection step, from the event loop.
                QCoreApplication::processEvents();
                return station->station().linkState().connected;
            },
            limitMs);
    }
    fs::path exports() const { return directory_ / "exports"; }
    const records::RecordTable& table() { return station->station().recordTable(); }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::VirtualTimerSchedule ownTimers{clock};
    core::MemorySettingsStore settings;
    headless::LogPrompts prompts{clock};
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    // What the command line would set: the settings the run reads, and its port.
    core::SettingsStore* store = &settings;
    std::optional<unsigned> keptPort;
    bool exporting = true;  // with an export directory
    std::unique_ptr<station::Station> model;
    std::unique_ptr<headless::HeadlessStation> station;
    fs::path directory_;
};

// The rows an unattended run ends with are written as the window's Export writes them.
TEST_F(Unattended, TheFileAtTheEndIsTheWindowsExportByteForByte) {
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open();
    ASSERT_TRUE(connect());
    station::Station& core = station->station();
    clock.advanceBy(500);
    core.recordOne();
    clock.advanceBy(20);
    ASSERT_EQ(core.setAutomatic(true, WorkingDay::kAutoPeriodSeconds), records::AutoOutcome::Started);
    clock.advanceBy(1000);
    core.setAutomatic(false, 0);
    ASSERT_EQ(table().rowCount(), 3u);

    station->stop();
    EXPECT_EQ(readFile(exports() / "line1_2019-11-29.xls"), WorkingDay::expectedExport());
    EXPECT_EQ(table().rowCount(), 0u);
}

// Nobody presses Connect again: an instrument that comes late is found by
// the search every 10 s, and recording starts by itself.
TEST_F(Unattended, AnInstrumentThatComesLateIsFoundAndRecordedFrom) {
    open(0.5);
    EXPECT_FALSE(connect(30'000));
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    ASSERT_TRUE(connect(30'000));
    clock.advanceBy(100);
    QCoreApplication::processEvents();
    clock.advanceBy(2'000);
    EXPECT_GE(table().rowCount(), 3u);
}

// A pulled adapter: the station looks for the instrument again by itself and
// records from it as soon as it is back.
TEST_F(Unattended, APulledAdapterIsFoundAgainAndRecordedFrom) {
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(0.5);
    ASSERT_TRUE(connect());
    clock.advanceBy(2'000);
    ports.vanish(WorkingDay::kPort);
    clock.advanceBy(15'000);
    QCoreApplication::processEvents();
    ASSERT_FALSE(station->station().linkState().connected);
    const uint32_t rowsWhileLost = table().rowCount();
    ports.reappear(WorkingDay::kPort);
    ASSERT_TRUE(connect(30'000));
    clock.advanceBy(100);
    QCoreApplication::processEvents();
    clock.advanceBy(2'000);
    EXPECT_GE(table().rowCount(), rowsWhileLost + 3);
}

// At the hour the rows of the hour that ended go to their own file and the
// table starts empty; a file of that name from an earlier run stays as it was.
TEST_F(Unattended, EachHoursRowsGoToAFileOfTheirOwn) {
    fs::create_directories(exports());
    std::ofstream(exports() / "line1_2019-11-29_13.xls") << "an earlier run's rows";
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(10, headless::Rotation::Hourly);
    ASSERT_TRUE(connect());
    // The clock starts at 13:52:30: on to 14:00:05.
    clock.advanceTo(7 * 60'000 + 35'000);
    // The file is written on the writer's thread.
    station->station().finishFileWrites();
    const std::string hour13 = readFile(exports() / "line1_2019-11-29_13_2.xls");
    EXPECT_EQ(readFile(exports() / "line1_2019-11-29_13.xls"), "an earlier run's rows");
    const size_t rows13 = lineCount(hour13) - 1;
    EXPECT_GE(rows13, 40u);
    EXPECT_LE(rows13, 46u);
    EXPECT_LE(table().rowCount(), 1u);

    clock.advanceBy(60'000);
    station->stop();
    const size_t rows14 = lineCount(readFile(exports() / "line1_2019-11-29_14.xls")) - 1;
    EXPECT_GE(rows14, 6u);
    EXPECT_LE(rows14, 8u);
}

// The hour's file is written while recording goes on: the rows recorded
// meanwhile stay in the table for the next file, and no row is in both.
TEST_F(Unattended, RowsRecordedWhileAPeriodsFileIsWrittenGoToTheNextFileOnly) {
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(1, headless::Rotation::Hourly);
    ASSERT_TRUE(connect());
    clock.advanceTo(7 * 60'000 + 31'000);
    // The outcome of the write comes through the event loop, after these rows.
    clock.advanceBy(4'000);
    station->station().finishFileWrites();
    const std::string hour13 = readFile(exports() / "line1_2019-11-29_13.xls");
    EXPECT_GE(lineCount(hour13) - 1, 440u);
    EXPECT_EQ(hour13.find("14:00:0"), std::string::npos);
    EXPECT_GE(table().rowCount(), 4u);
    station->stop();
    const std::string hour14 = readFile(exports() / "line1_2019-11-29_14.xls");
    EXPECT_NE(hour14.find("000001"), std::string::npos);
    EXPECT_NE(hour14.find("14:00:03"), std::string::npos);
    EXPECT_EQ(hour14.find("13:59:"), std::string::npos);
}

// An export that cannot be written keeps its rows for the next file.
TEST_F(Unattended, AFailedExportKeepsItsRows) {
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(1);
    ASSERT_TRUE(connect());
    clock.advanceBy(5'000);
    const uint32_t rows = table().rowCount();
    ASSERT_GE(rows, 4u);
    fs::remove_all(exports());
    std::ofstream(exports()) << "a file where the directory was";
    station->stop();
    EXPECT_EQ(table().rowCount(), rows);
}

// ---- The instrument it had ----------------------------------------------------

// Two instruments, the station given COM3: when COM3 goes, the station waits
// for it instead of recording the other one's values under its name. Nobody
// pressed a button, and the log does not say somebody did.
TEST_F(Unattended, AStationGivenAPortSearchesOnlyThatPortAfterALoss) {
    LogCapture log;
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    ports.place("COM1", WorkingDay::instrument());
    keptPort = WorkingDay::kComId;
    open(0.5);
    ASSERT_TRUE(connect());
    ports.vanish(WorkingDay::kPort);
    clock.advanceBy(15'000);
    QCoreApplication::processEvents();
    ASSERT_FALSE(station->station().linkState().connected);
    EXPECT_FALSE(connect(60'000));
    EXPECT_TRUE(log.contains("the port of the instrument is gone"));
    EXPECT_FALSE(log.contains("by the operator"));
    EXPECT_FALSE(log.contains("COM01"));
}

// The same instrument found again is taken up without a word; another one is
// announced in the log and the status before its first row.
TEST_F(Unattended, AnotherInstrumentIsAnnouncedBeforeItsFirstRow) {
    LogCapture log;
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(0.5);
    ASSERT_TRUE(connect());
    const auto loseAndReturn = [&] {
        ports.vanish(WorkingDay::kPort);
        clock.advanceBy(15'000);
        QCoreApplication::processEvents();
        ports.reappear(WorkingDay::kPort);
    };
    loseAndReturn();
    ASSERT_TRUE(connect(30'000));
    EXPECT_FALSE(log.contains("Another instrument"));

    sim::InstrumentConfig other = WorkingDay::instrument();
    other.address = 2;
    ports.place(WorkingDay::kPort, other);
    loseAndReturn();
    const uint32_t rowsBefore = table().rowCount();
    ASSERT_TRUE(connect(30'000));
    EXPECT_EQ(table().rowCount(), rowsBefore);
    EXPECT_EQ(log.count("Another instrument: COM3, address 2, 8 probes (before: COM3, address 1, 8 probes)"), 1u);
    EXPECT_EQ(station->station().linkView().messageLine,
              "更换了仪器：COM3，地址 2，8 个测头（之前：COM3，地址 1，8 个测头）");
}

// An instrument with 60 probes where one with 8 was: the rows of the 8 go to
// a file of their own at once (the period's, else the day's backup kept as
// it is) and recording goes on, where it stopped until the table was cleared.
TEST_F(Unattended, RowsOfTheInstrumentBeforeGoToAFileAndRecordingGoesOn) {
    for (const bool withExports : {true, false}) {
        SCOPED_TRACE(withExports ? "export directory" : "backup only");
        exporting = withExports;
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
        open(1);
        ASSERT_TRUE(connect());
        clock.advanceBy(6'000);

        sim::InstrumentConfig wider = WorkingDay::instrument();
        wider.probeCount = 60;
        ports.place(WorkingDay::kPort, wider);
        ports.vanish(WorkingDay::kPort);
        clock.advanceBy(15'000);
        QCoreApplication::processEvents();
        const uint32_t before = table().rowCount();
        ASSERT_GE(before, 4u);
        ports.reappear(WorkingDay::kPort);
        ASSERT_TRUE(connect(30'000));
        // Recording starts after the connection step; the file is written on the writer's thread.
        QCoreApplication::processEvents();
        station->station().finishFileWrites();
        EXPECT_TRUE(clock.runUntil(
            [&] {
                QCoreApplication::processEvents();
                return table().layout().probeCount == 60 && table().rowCount() >= 3;
            },
            10'000));
        // The backup written next moves the one of the 8 probes aside.
        clock.advanceBy(60'000);
        station->station().finishFileWrites();
        const fs::path kept = withExports ? exports() / "line1_2019-11-29.xls" : [&] {
            for (const auto& file : fs::directory_iterator(directory_))
                if (file.path().filename().string().starts_with("bak20191129-")) return file.path();
            return fs::path();
        }();
        const std::string rows = readFile(kept);
        EXPECT_EQ(lineCount(rows), before + 1) << kept;
        station->stop();
    }
}

// ---- The run's own options --------------------------------------------------

// --record-every and --language hold for the run: the window's interval and
// language stay as stored; a language the operator chooses is still stored.
TEST_F(Unattended, RunOnlyOptionsAreNeverStored) {
    headless::StartOptions options;
    options.headless = true;
    options.recordEverySeconds = 0.5;
    options.language = core::Language::English;
    headless::SettingsOverrides run(settings);
    headless::applyStartOptions(options, run);
    store = &run;
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(options.recordEverySeconds);
    ASSERT_TRUE(connect());
    clock.advanceBy(100);
    QCoreApplication::processEvents();
    ASSERT_TRUE(station->station().recorder().automaticTicked());
    EXPECT_EQ(station->station().language(), core::Language::English);
    EXPECT_FALSE(settings.contains("RecTime"));
    EXPECT_FALSE(settings.contains("Language"));
    station->station().chooseLanguage(1);
    EXPECT_EQ(settings.readInt("Language", 0), 1);
}

// ---- The log of a station nobody watches -------------------------------------

// A search that fails every 10 s for 25 minutes: its message three times,
// 10 minutes apart, each after the count of the ones left out.
TEST(LogPrompts, TheSameMessageComesAgainOnlyAfterTenMinutes) {
    LogCapture log;
    core::VirtualTime clock;
    headless::LogPrompts prompts(clock);
    for (int64_t ms = 0; ms < 25 * 60'000; ms += 10'000) {
        clock.advanceTo(ms);
        prompts.showMessage("No available devices found!\nNo such device: /dev/ttyUSB9.");
    }
    EXPECT_EQ(log.count("No available devices found! No such device: /dev/ttyUSB9."), 3u);
    EXPECT_EQ(log.count("the message before came 59 more times"), 2u);
    prompts.showMessage("another");
    EXPECT_EQ(log.count("the message before came 29 more times"), 1u);
}

// The stop writes the last backup, then the export fails: the rows are in a
// backup but in no export file, and the next run exports them.
TEST_F(Unattended, AFailedFinalExportLosesItsRowsToTheBackup) {
    const std::string journal = (directory_ / "journal").string();
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    open(1, headless::Rotation::Daily, journal);
    ASSERT_TRUE(connect());
    clock.advanceBy(5'000);
    const uint32_t rows = table().rowCount();
    ASSERT_GE(rows, 4u);
    fs::remove_all(exports());
    std::ofstream(exports()) << "a file where the directory was";
    station->stop();
    station.reset();

    fs::remove(exports());
    ports.vanish(WorkingDay::kPort);
    open(1, headless::Rotation::Daily, journal);
    // The rows come back on the restore's thread.
    station->station().finishRestore();
    ASSERT_EQ(table().rowCount(), rows);
    station->stop();
    EXPECT_EQ(lineCount(readFile(exports() / "line1_2019-11-29.xls")), rows + 1);
}

// A station killed around the rename of its export file (the kill -9 of a
// stop timeout after SIGTERM) has, once it has run again, every row of the
// killed run in exactly one export file.
TEST_F(Unattended, AStationKilledAroundItsExportHasEachRowInExactlyOneFile) {
    for (const char* instant : {"before-rename", "after-rename", "after-stop"}) {
        SCOPED_TRACE(instant);
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        const pid_t killed = ::fork();
        if (killed == 0) {
            ::execl(EXPORT_KILL_STATION, EXPORT_KILL_STATION, directory_.c_str(), instant, nullptr);
            ::_exit(127);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(killed, &status, 0), killed);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;

        // Started again without its instrument: it exports what the journal gives back.
        open({}, headless::Rotation::Daily, (directory_ / "journal").string());
        station->station().finishRestore();
        station->stop();
        std::map<std::string, int> files;
        for (const auto& file : fs::directory_iterator(exports())) {
            const std::string text = readFile(file.path());
            // Past the header, each line without its row number, which every file counts anew.
            for (size_t line = text.find('\n'); line != std::string::npos && line + 1 < text.size();) {
                const size_t end = text.find('\n', line + 1);
                const std::string row = text.substr(line + 1, end - line - 1);
                ++files[row.substr(row.find('\t'))];
                line = end;
            }
        }
        EXPECT_GE(files.size(), 20u);
        for (const auto& [row, count] : files) EXPECT_EQ(count, 1) << row;
    }
}

TEST(ExportNames, PeriodsAndFilesNeverWrittenOver) {
    const core::LocalDateTime time{2026, 3, 7, 9, 5, 0};
    EXPECT_EQ(headless::periodName(time, headless::Rotation::Daily), "2026-03-07");
    EXPECT_EQ(headless::periodName(time, headless::Rotation::Hourly), "2026-03-07_09");
    std::set<std::string> present{"/x/s_p.xls", "/x/s_p_2.xls"};
    const auto exists = [&](const std::string& path) { return present.count(path) > 0; };
    EXPECT_EQ(headless::exportFilePath("/x", "s", "p", exists), "/x/s_p_3.xls");
    EXPECT_EQ(headless::exportFilePath("/x/", "s", "q", exists), "/x/s_q.xls");
}

}  // namespace
