// Backup and export written from a snapshot on the writer's thread: the same
// bytes as a write on the spot, the old file kept on failure, the outcome
// told only on the thread that started the write, and rows recorded during
// the write left for the next backup.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "records/record_file.h"
#include "records/table_file.h"
#include "records/table_snapshot.h"
#include "records/thread_priority.h"
#include "records_rig.h"

namespace gaugemon::records {
namespace {

using test::readFile;
using test::RecordsRig;

// The event queue of the window: the writer's results wait here until the
// test's own thread runs them.
struct PostedCalls {
    std::mutex mutex;
    std::vector<std::function<void()>> calls;

    SnapshotWriter::Post post() {
        return [this](std::function<void()> call) {
            const std::lock_guard lock(mutex);
            calls.push_back(std::move(call));
        };
    }
    size_t runAll() {
        std::vector<std::function<void()>> now;
        {
            const std::lock_guard lock(mutex);
            now.swap(calls);
        }
        for (auto& call : now) call();
        return now.size();
    }
};

// One manual record; with code input the operator types "A".
void recordOne(RecordsRig& rig) {
    const uint32_t before = rig.rows();
    rig.prompts.codes = {"A"};
    rig.recorder().pressManual();
    rig.answerTick();
    rig.time.advanceBy(10);
    ASSERT_EQ(rig.rows(), before + 1);
}

struct WriterRig {
    RecordsRig rig{true};
    PostedCalls posted;
    SnapshotWriter writer{posted.post()};

    WriterRig() {
        rig.connect();
        rig.records->useWriter(writer);
    }
    size_t finishAndDeliver() {
        writer.finishWrite();
        return posted.runAll();
    }
};

TEST(SnapshotWrite, WritesTheSameBytesAsAWriteOnTheSpotInEveryFormat) {
    WriterRig w;
    for (uint32_t i = 0; i < RecordTable::kRowsPerChunk + 5; ++i) recordOne(w.rig);
    ASSERT_TRUE(w.rig.table().updateCode(3, WorkpieceCode::fromGbk("C-9")));
    for (const RecordFileFormat format : {kTabFormat, kCommaFormat}) {
        const auto onTheSpot = (w.rig.dir / "spot").string();
        const auto fromSnapshot = (w.rig.dir / "snapshot").string();
        ASSERT_TRUE(writeTableFile(w.rig.table(), w.rig.sources, true, format, onTheSpot).ok);
        bool ok = false;
        ASSERT_TRUE(startTableFile(w.writer, w.rig.table(), w.rig.sources, true, format, fromSnapshot,
                                   [&](const FileWriteResult& result) { ok = result.ok; }));
        EXPECT_EQ(w.finishAndDeliver(), 1u);
        EXPECT_TRUE(ok);
        EXPECT_EQ(readFile(fromSnapshot), readFile(onTheSpot));
    }
}

TEST(SnapshotWrite, RowsAndCodesChangedDuringTheWriteAreLeftForTheNextBackup) {
    WriterRig w;
    const auto file = w.rig.dir / "bak20191129.xls";
    w.rig.records->backup.setBoxTicked(true);
    recordOne(w.rig);
    recordOne(w.rig);
    w.rig.time.advanceBy(60'000 - 20);  // the backup tick starts the write
    // While the writer works: a new row, and a correction of a row it is writing.
    recordOne(w.rig);
    w.rig.table().updateCode(1, WorkpieceCode::fromGbk("late"));
    w.finishAndDeliver();
    // The file holds the table as it stood when the write began.
    const std::string first = readFile(file);
    EXPECT_NE(first.find("000002"), std::string::npos);
    EXPECT_EQ(first.find("000003"), std::string::npos);
    EXPECT_EQ(first.find("late"), std::string::npos);
    EXPECT_TRUE(w.rig.table().rowsSinceBackup());
    EXPECT_TRUE(w.rig.table().hasUnsavedRows());

    w.rig.time.advanceBy(60'000);
    w.finishAndDeliver();
    const std::string next = readFile(file);
    EXPECT_NE(next.find("000003"), std::string::npos);
    EXPECT_NE(next.find("late"), std::string::npos);
    EXPECT_FALSE(w.rig.table().hasUnsavedRows());
}

TEST(SnapshotWrite, AFailedBackupKeepsTheOldFileAndIsToldOnlyOnTheStartingThread) {
    WriterRig w;
    PeriodicBackup& backup = w.rig.records->backup;
    recordOne(w.rig);
    backup.onBackupTimer();
    w.finishAndDeliver();
    ASSERT_TRUE(backup.lastResult().ok);

    // Something else now stands where the backup goes, and cannot be replaced by a file.
    const auto file = w.rig.dir / "bak20191129.xls";
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    test::writeFile(file / "kept", "previous");
    recordOne(w.rig);
    backup.onBackupTimer();
    w.writer.finishWrite();
    EXPECT_TRUE(w.rig.prompts.messages.empty());
    w.posted.runAll();
    EXPECT_FALSE(backup.lastResult().ok);
    ASSERT_EQ(w.rig.prompts.messages.size(), 1u);
    EXPECT_NE(w.rig.prompts.messages[0].find("could not be written"), std::string::npos);
    EXPECT_EQ(readFile(file / "kept"), "previous");
    EXPECT_TRUE(w.rig.table().rowsSinceBackup());
}

TEST(SnapshotWrite, ABackupThatFailsAfterTheBoxWasClearedDoesNotStartItAgain) {
    WriterRig w;
    PeriodicBackup& backup = w.rig.records->backup;
    backup.setBoxTicked(true);
    std::filesystem::create_directory(w.rig.dir / "bak20191129.xls");
    test::writeFile(w.rig.dir / "bak20191129.xls" / "kept", "previous");
    recordOne(w.rig);
    backup.onBackupTimer();
    backup.onDisconnect();  // before the writer is done
    w.finishAndDeliver();
    ASSERT_FALSE(backup.lastResult().ok);
    EXPECT_FALSE(w.rig.timers.isRunning(core::timer::kBackup));
}

TEST(SnapshotWrite, ExportSaysDoneOnlyWhenTheFileIsWritten) {
    WriterRig w;
    recordOne(w.rig);
    const auto path = w.rig.dir / "out.xls";
    w.rig.prompts.saveChoices = {core::SaveChoice{path.string(), 0}};
    EXPECT_EQ(w.rig.records->exporter.run(), ExportOutcome::Started);
    w.writer.finishWrite();
    EXPECT_TRUE(w.rig.prompts.messages.empty());
    w.posted.runAll();
    EXPECT_EQ(w.rig.prompts.messages, std::vector<std::string>{"Data export completed!"});
    EXPECT_EQ(readFile(path).substr(0, 9), "Num\tCode\t");
    EXPECT_FALSE(w.rig.table().hasUnsavedRows());
}

// A table whose file keeps the writer busy for a good many milliseconds: the
// calls below come while it still writes.
constexpr uint32_t kLargeTable = 40'000;

void fillLarge(RecordsRig& rig) {
    recordOne(rig);
    const std::string row(rig.table().row(0).bytes());
    while (rig.rows() < kLargeTable) ASSERT_EQ(rig.table().appendRowBytes(row), AppendResult::Added);
}

size_t lineCount(const std::string& bytes) { return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')); }

void startExport(WriterRig& w, const std::filesystem::path& path) {
    w.rig.prompts.saveChoices = {core::SaveChoice{path.string(), 0}};
    ASSERT_EQ(w.rig.records->exporter.run(), ExportOutcome::Started);
    ASSERT_TRUE(w.writer.busy()) << "the test needs the write still running";
}

TEST(SnapshotWriteWhileBusy, ClearingTheTableWaitsForTheWriterAndTheFileHoldsEveryRow) {
    WriterRig w;
    fillLarge(w.rig);
    const auto path = w.rig.dir / "out.xls";
    startExport(w, path);
    // The rows the writer reads are freed by the clearing: it must have finished first.
    w.rig.table().clearTable();
    EXPECT_FALSE(w.writer.busy());
    w.posted.runAll();
    EXPECT_EQ(w.rig.prompts.messages, std::vector<std::string>{"Data export completed!"});
    const std::string bytes = readFile(path);
    EXPECT_EQ(lineCount(bytes), kLargeTable + 1);
    EXPECT_NE(bytes.find(std::string_view("\n040000\0\t", 9)), std::string::npos);
}

TEST(SnapshotWriteWhileBusy, ABackupTickDuringAnotherWriteIsSkippedAndTheNextOneWritesEveryRow) {
    WriterRig w;
    fillLarge(w.rig);
    PeriodicBackup& backup = w.rig.records->backup;
    backup.setBoxTicked(true);
    startExport(w, w.rig.dir / "out.xls");
    backup.onBackupTimer();
    EXPECT_TRUE(w.rig.table().rowsSinceBackup());
    w.finishAndDeliver();
    const auto file = w.rig.dir / "bak20191129.xls";
    EXPECT_FALSE(std::filesystem::exists(file));

    backup.onBackupTimer();
    w.finishAndDeliver();
    EXPECT_EQ(lineCount(readFile(file)), kLargeTable + 1);
    EXPECT_FALSE(w.rig.table().rowsSinceBackup());
}

// A stop ends the process after the call: the backup cannot be left to the
// writer's thread, nor skipped because an export still writes.
TEST(SnapshotWriteWhileBusy, AStopWritesTheLastBackupOnTheSpotAndALateOutcomeDoesNotUndoIt) {
    WriterRig w;
    fillLarge(w.rig);
    PeriodicBackup& backup = w.rig.records->backup;
    backup.setBoxTicked(true);
    startExport(w, w.rig.dir / "out.xls");
    recordOne(w.rig);
    backup.writeBeforeExit();
    EXPECT_EQ(lineCount(readFile(w.rig.dir / "bak20191129.xls")), kLargeTable + 2);
    EXPECT_FALSE(w.rig.table().hasUnsavedRows());
    // The export, of the table one row shorter, is told only now.
    w.posted.runAll();
    EXPECT_FALSE(w.rig.table().hasUnsavedRows());
}

int niceOfThisThread() {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
}

// The writer gives way to the station's thread; the station's own priority,
// and with it polling, is left alone.
// Save while a long save runs asks whether to stop it; stopping leaves the
// previous file and the rows unsaved, and tells the operator why.
TEST(SnapshotWriteWhileBusy, SaveDuringALongSaveOffersToStopItAndAStopKeepsThePreviousFile) {
    WriterRig w;
    recordOne(w.rig);
    const auto path = w.rig.dir / "long.xlsx";
    std::ofstream(path) << "previous";
    SnapshotWriter::Job job;
    job.stoppable = true;
    job.write = [&path](const TableSnapshot&, WriteControl& control) {
        return replaceFile(path.string(), [&control](ByteSink& sink) {
            // A write that only a stop ends.
            while (!control.stopRequested()) std::this_thread::yield();
            sink.write("cut short");
            return false;
        });
    };
    FileWriteResult told;
    job.done = [&told](const FileWriteResult& result, const TableSnapshot&) { told = result; };
    ASSERT_TRUE(w.writer.start(w.rig.table(), std::move(job)));

    w.rig.prompts.saveChoices = {core::SaveChoice{(w.rig.dir / "other.xls").string(), 0}};
    w.rig.prompts.yesAnswer = false;
    EXPECT_EQ(w.rig.records->exporter.run(), ExportOutcome::Cancelled);
    EXPECT_TRUE(w.writer.busy());
    w.rig.prompts.yesAnswer = true;
    EXPECT_EQ(w.rig.records->exporter.run(), ExportOutcome::Cancelled);
    ASSERT_EQ(w.rig.prompts.questions.size(), 2u);
    EXPECT_NE(w.rig.prompts.questions[0].find("Stop saving"), std::string::npos);
    w.finishAndDeliver();
    EXPECT_FALSE(told.ok);
    EXPECT_EQ(told.error, ECANCELED);
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_TRUE(w.rig.table().hasUnsavedRows());
    // No Save dialog was opened meanwhile.
    EXPECT_EQ(w.rig.prompts.saveChoices.size(), 1u);
}

// A long write tells each tenth once, on the starting thread; a write of
// less than a second tells nothing (its message follows at once).
TEST(WriteProgress, ALongWriteTellsEachTenthOnceAndAShortOneNothing) {
    std::vector<std::function<void()>> posted;
    std::vector<unsigned> told;
    const auto post = [&posted](std::function<void()> call) { posted.push_back(std::move(call)); };
    const auto tell = [&told](unsigned percent) { told.push_back(percent); };
    WriteControl longWrite(250, post, tell, std::chrono::steady_clock::now() - std::chrono::seconds(2));
    for (uint32_t rows = 1; rows <= 250; ++rows) longWrite.rowsWritten(rows);
    EXPECT_TRUE(told.empty());
    for (auto& call : posted) call();
    EXPECT_EQ(told, (std::vector<unsigned>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    posted.clear();
    WriteControl shortWrite(250, post, tell);
    for (uint32_t rows = 1; rows <= 250; ++rows) shortWrite.rowsWritten(rows);
    EXPECT_TRUE(posted.empty());
}

TEST(WriterThread, YieldsToTheStationWithoutLoweringTheStation) {
    const int stationNice = niceOfThisThread();
    if (stationNice >= 19) GTEST_SKIP() << "already at the lowest priority";
    int writerNice = stationNice;
    std::thread writer([&writerNice] {
        yieldToOtherThreads();
        writerNice = niceOfThisThread();
    });
    writer.join();
    EXPECT_GT(writerNice, stationNice);
    EXPECT_EQ(niceOfThisThread(), stationNice);
}

}  // namespace
}  // namespace gaugemon::records
