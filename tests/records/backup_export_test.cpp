#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <ctime>

#include "records/record_file.h"
#include "records_rig.h"

namespace gaugemon::records {
namespace {

using core::Language;
using test::readFile;
using test::RecordsRig;

void recordOne(RecordsRig& rig) {
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
}

TEST(Backup, FirstFileComesAMinuteAfterTheBoxIsTickedAndOnlyWithNewRows) {
    RecordsRig rig;
    rig.connect();
    const auto file = rig.dir / "bak20191129.xls";
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.time.advanceBy(59'000);
    EXPECT_FALSE(std::filesystem::exists(file));
    rig.time.advanceBy(990);
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(readFile(file).substr(0, 30), "Num\tS01\tS02\tResult\tTime\n000001");
    EXPECT_FALSE(rig.table().rowsSinceBackup());
    EXPECT_FALSE(rig.table().hasUnsavedRows());

    // A minute without rows leaves the file alone.
    std::filesystem::remove(file);
    rig.time.advanceBy(60'000);
    EXPECT_FALSE(std::filesystem::exists(file));
    recordOne(rig);
    rig.time.advanceBy(60'000);
    EXPECT_EQ(readFile(file).size(), 24 + 2 * (7 + 2 * 9 + 9 + 21 + 1));
}

TEST(Backup, TickingAgainRestartsTheMinuteAndUntickingStopsIt) {
    RecordsRig rig;
    rig.records->backup.setBoxTicked(true);
    rig.time.advanceBy(40'000);
    rig.records->backup.setBoxTicked(false);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kBackup));
    rig.records->backup.setBoxTicked(true);
    EXPECT_EQ(rig.timers.remainingMs(core::timer::kBackup), 60'000);
}

TEST(Backup, NewDayStartsANewFileAndTheOldOneKeepsItsLastState) {
    RecordsRig rig(false, {2019, 11, 29, 23, 58, 30});
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.time.advanceBy(60'000);  // 23:59:30
    const auto yesterday = rig.dir / "bak20191129.xls";
    const std::string before = readFile(yesterday);
    recordOne(rig);
    rig.time.advanceBy(60'000);  // 00:00:30
    EXPECT_EQ(readFile(yesterday), before);
    EXPECT_EQ(readFile(rig.dir / "bak20191130.xls").size(), before.size() + 7 + 2 * 9 + 9 + 21 + 1);
}

TEST(Backup, HeaderFollowsTheLanguageOfTheMomentResultsStay) {
    RecordsRig rig;
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.sources.lang = Language::Chinese;
    rig.time.advanceBy(60'000);
    const std::string bytes = readFile(rig.dir / "bak20191129.xls");
    EXPECT_EQ(bytes.substr(0, 4), "\xD0\xF2\xBA\xC5");
    EXPECT_NE(bytes.find("\t OK "), std::string::npos);
}

TEST(Backup, PausesTheWatchdogAndRearmsItWhileConnected) {
    RecordsRig rig;
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.timers.start(core::timer::kWatchdog, 5000);
    rig.time.advanceBy(59'990 - 4000);
    rig.timers.start(core::timer::kWatchdog, 5000);  // a valid answer
    rig.time.advanceBy(4000);                        // backup due now, watchdog 1000 ms from its end
    EXPECT_EQ(rig.timers.remainingMs(core::timer::kWatchdog), 5000);
}

TEST(Backup, FailedWriteKeepsTheOldFileReportsOnceAndRetriesWithoutNewRows) {
    RecordsRig rig;
    rig.connect();
    const auto file = rig.dir / "bak20191129.xls";
    test::writeFile(file, "previous backup");
    // A directory where the temporary file must go: every write fails.
    const auto blocked = rig.dir / "blocked";
    std::filesystem::create_directory(blocked);
    PeriodicBackup backup(rig.table(), rig.records->codes, rig.sources, rig.timers, rig.time, rig.prompts, rig.watchdog,
                          (blocked / "gone").string());
    rig.timers.setTickHandler([&](int id) {
        if (id == core::timer::kBackup)
            backup.onBackupTimer();
        else
            rig.records->onTimer(id);
    });
    backup.setBoxTicked(true);
    recordOne(rig);
    // The error box stays open past the next tick: the retry inside it does
    // not open a second box.
    rig.prompts.whileOpen = [&] { rig.time.advanceBy(60'000); };
    rig.time.advanceBy(60'000);
    EXPECT_FALSE(backup.lastResult().ok);
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_NE(rig.prompts.messages[0].find("could not be written"), std::string::npos);
    EXPECT_TRUE(rig.table().rowsSinceBackup());
    EXPECT_TRUE(rig.table().hasUnsavedRows());
    EXPECT_EQ(readFile(file), "previous backup");

    // The directory appears; the next tick writes without any new row.
    std::filesystem::create_directory(blocked / "gone");
    rig.time.advanceBy(60'000);
    EXPECT_TRUE(backup.lastResult().ok);
    EXPECT_TRUE(std::filesystem::exists(blocked / "gone" / "bak20191129.xls"));
    EXPECT_FALSE(rig.table().rowsSinceBackup());
}

// An unattended station: the error box stays open for hours. The backup keeps
// its minute meanwhile and succeeds as soon as it can.
TEST(Backup, FailedBackupIsRetriedEveryMinuteWhileItsMessageIsOpen) {
    RecordsRig rig;
    rig.connect();
    const auto dir = rig.dir / "later";
    PeriodicBackup backup(rig.table(), rig.records->codes, rig.sources, rig.timers, rig.time, rig.prompts, rig.watchdog,
                          dir.string());
    rig.timers.setTickHandler([&](int id) {
        if (id == core::timer::kBackup)
            backup.onBackupTimer();
        else
            rig.records->onTimer(id);
    });
    backup.setBoxTicked(true);
    recordOne(rig);
    bool writtenWhileOpen = false;
    rig.prompts.whileOpen = [&] {
        rig.time.advanceBy(150'000);
        std::filesystem::create_directory(dir);
        rig.time.advanceBy(60'000);
        writtenWhileOpen = std::filesystem::exists(dir / "bak20191129.xls");
    };
    rig.time.advanceBy(60'000);
    EXPECT_TRUE(writtenWhileOpen);
    EXPECT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kBackup), PeriodicBackup::kPeriodMs);

    // Once a backup has succeeded, the next failure is told again, once.
    std::filesystem::remove_all(dir);
    recordOne(rig);
    rig.time.advanceBy(3 * 60'000);
    EXPECT_EQ(rig.prompts.messages.size(), 2u);
}

// Each backup tick used to re-arm the watchdog: a lost line then showed one
// more "Device disconnected" a minute.
TEST(Backup, DoesNotRearmAWatchdogThatHasFired) {
    RecordsRig rig;
    rig.connect();
    const auto blocked = rig.dir / "missing";  // every backup fails and is retried
    PeriodicBackup backup(rig.table(), rig.records->codes, rig.sources, rig.timers, rig.time, rig.prompts, rig.watchdog,
                          blocked.string());
    rig.timers.setTickHandler([&](int id) {
        if (id == core::timer::kWatchdog) return rig.watchdogTick();
        if (id == core::timer::kBackup)
            backup.onBackupTimer();
        else
            rig.records->onTimer(id);
    });
    backup.setBoxTicked(true);
    recordOne(rig);
    rig.time.advanceBy(1000);
    rig.instrumentAnswers = false;
    rig.time.advanceBy(10 * 60'000);
    EXPECT_EQ(rig.disconnectNotices, 1);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kWatchdog));
}

TEST(Export, DoesNotRearmAWatchdogThatHasFired) {
    RecordsRig rig;
    rig.connect();
    rig.time.advanceBy(1000);
    rig.instrumentAnswers = false;
    rig.time.advanceBy(6000);
    ASSERT_EQ(rig.disconnectNotices, 1);
    rig.prompts.saveChoices = {core::SaveChoice{(rig.dir / "a.xls").string(), 0}};
    ASSERT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
    rig.time.advanceBy(60'000);
    EXPECT_EQ(rig.disconnectNotices, 1);
}

void setModified(const std::filesystem::path& file, time_t modified) {
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// The name an earlier run's backup is kept under: its own time before ".xls".
std::string keptName(time_t modified, std::string_view extra = "") {
    std::tm local{};
    ::localtime_r(&modified, &local);
    char name[64];
    std::snprintf(name, sizeof name, "bak20191129-%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(name) + std::string(extra) + ".xls";
}

// A station killed and started again on the same day: the crashed run's
// backup may be the only copy of its rows.
TEST(Backup, ANewRunKeepsTheEarlierRunsFileOfTheDay) {
    RecordsRig rig;
    const auto file = rig.dir / "bak20191129.xls";
    test::writeFile(file, "the crashed run's 7823 rows");
    constexpr time_t kCrashTime = 1'575'000'000;
    setModified(file, kCrashTime);
    const std::string kept = keptName(kCrashTime);
    test::writeFile(rig.dir / kept, "kept by an earlier start");  // the name is taken: a further one is used
    const std::string keptAgain = keptName(kCrashTime, "-2");
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.time.advanceBy(60'000);
    EXPECT_EQ(readFile(file).substr(0, 4), "Num\t");
    EXPECT_EQ(readFile(rig.dir / keptAgain), "the crashed run's 7823 rows");
    EXPECT_EQ(readFile(rig.dir / kept), "kept by an earlier start");

    // The run's own file is rewritten in place from then on.
    recordOne(rig);
    rig.time.advanceBy(60'000);
    EXPECT_EQ(rig.dir.entries(), (std::vector<std::string>{keptAgain, kept, "bak20191129.xls"}));
    EXPECT_EQ(readFile(file).size(), 24 + 2 * (7 + 2 * 9 + 9 + 21 + 1));
}

TEST(Backup, DisconnectUnticksTheBoxAndNothingMoreIsWritten) {
    RecordsRig rig;
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    recordOne(rig);
    rig.disconnect();
    rig.time.advanceBy(120'000);
    EXPECT_TRUE(rig.dir.entries().empty());
}

TEST(Export, WritesTheChosenFormatAndSaysSoInTheLanguageOfTheMoment) {
    RecordsRig rig;
    rig.connect();
    recordOne(rig);
    const struct {
        int filter;
        Language language;
        std::string_view start;
        const char* message;
    } cases[] = {
        {0, Language::English, "Num\tS01", "Data export completed!"},
        {1, Language::English, "Num,S01", "Data export completed!"},
        {2, Language::Chinese, "\xD0\xF2\xBA\xC5,01#", "数据导出完成!"},
    };
    for (const auto& c : cases) {
        rig.sources.lang = c.language;
        rig.prompts.messages.clear();
        const auto path = rig.dir / ("out" + std::to_string(c.filter));
        rig.prompts.saveChoices = {core::SaveChoice{path.string(), c.filter}};
        EXPECT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
        EXPECT_EQ(readFile(path).substr(0, c.start.size()), c.start) << c.filter;
        EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{c.message});
    }
}

TEST(Export, CancelWritesNothingAndSaysNothing) {
    RecordsRig rig;
    rig.connect();
    rig.instrumentAnswers = false;
    rig.timers.start(core::timer::kWatchdog, 5000);
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.records->exporter.run(), ExportOutcome::Cancelled);
    EXPECT_TRUE(rig.prompts.messages.empty());
    EXPECT_EQ(rig.timers.remainingMs(core::timer::kWatchdog), 4000);
    EXPECT_TRUE(rig.dir.entries().empty());
}

TEST(Export, RearmsTheWatchdogOnlyWhileConnected) {
    RecordsRig rig;
    rig.connect();
    rig.timers.start(core::timer::kWatchdog, 5000);
    rig.time.advanceBy(3000);
    rig.prompts.saveChoices = {core::SaveChoice{(rig.dir / "a.xls").string(), 0}};
    rig.records->exporter.run();
    EXPECT_EQ(rig.timers.remainingMs(core::timer::kWatchdog), 5000);

    rig.disconnect();
    rig.timers.stop(core::timer::kWatchdog);
    rig.prompts.saveChoices = {core::SaveChoice{(rig.dir / "b.xls").string(), 0}};
    EXPECT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kWatchdog));
}

TEST(Export, FailureReportsTheErrorInsteadOfCompletion) {
    RecordsRig rig;
    rig.connect();
    recordOne(rig);
    test::writeFile(rig.dir / "file", "x");
    rig.timers.start(core::timer::kWatchdog, 5000);
    rig.prompts.saveChoices = {core::SaveChoice{(rig.dir / "file" / "out.xls").string(), 0}};
    EXPECT_EQ(rig.records->exporter.run(), ExportOutcome::Failed);
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_NE(rig.prompts.messages[0].find("out.xls"), std::string::npos);
    EXPECT_TRUE(rig.timers.isRunning(core::timer::kWatchdog));
    EXPECT_TRUE(rig.table().hasUnsavedRows());
}

// With no rows held the columns are those of the moment: the code column
// shows whenever code input is on, connected or not.
TEST(Export, AnEmptyTableTakesTheCodeColumnFromTheCodeInputOfTheMoment) {
    RecordsRig rig(/*codeInput=*/true);
    const auto path = rig.dir / "empty.xls";
    rig.prompts.saveChoices = {core::SaveChoice{path.string(), 0}};
    ASSERT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
    EXPECT_EQ(readFile(path), "Num\tCode\tS01\tS02\tResult\tTime\n");
}

TEST(Export, OldRowsOfAnotherProbeCountStayExportable) {
    RecordsRig rig;
    rig.connect();
    recordOne(rig);
    rig.disconnect();
    rig.sources.probes = 4;
    rig.connect();
    const auto path = rig.dir / "old.csv";
    rig.prompts.saveChoices = {core::SaveChoice{path.string(), 1}};
    ASSERT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
    const std::string bytes = readFile(path);
    EXPECT_EQ(bytes.substr(0, bytes.find('\r')), "Num,S01,S02,Result,Time");
    EXPECT_EQ(bytes.size(), 25 + 7 + 2 * 9 + 9 + 21 + 2);
}

}  // namespace
}  // namespace gaugemon::records
