#include "journal/journal.h"
#include "journal/journal_table_observer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "journal_test_support.h"
#include "records/record_sources.h"
#include "records/records_test_support.h"
#include "records/table_file.h"
#include "sample_rows.h"

namespace gaugemon::journal {
namespace {

using records::RecordTable;
using records::test::TempDir;
using test::appendSampleRow;
using test::sampleLayout;

constexpr int64_t kDayMs = 86'400'000;

std::vector<std::string> rowsOf(const RecordTable& table) {
    std::vector<std::string> rows;
    for (uint32_t r = 0; r < table.rowCount(); ++r) rows.emplace_back(table.row(r).bytes());
    return rows;
}

// Counts what reaches the list on screen behind the journal's observer.
struct CountingObserver : records::RecordTableObserver {
    void beforeAppend(uint32_t) override {}
    void afterAppend(uint32_t) override { ++appended; }
    void beforeReset() override {}
    void afterReset() override { ++resets; }
    void codeChanged(uint32_t row) override { changedRows.push_back(row); }
    int appended = 0;
    int resets = 0;
    std::vector<uint32_t> changedRows;
};

// One run of the station: a table with the journal watching it, and the list
// on screen behind.
struct StationRun {
    explicit StationRun(const TempDir& dir, const records::TableLayout& layout = sampleLayout(),
                        Offered offered = Offered::InNoFile) {
        if (offered == Offered::NotExported) journal.keepRowsUntilExported();
        problem = journal.open(dir.path().string());
        table.prepareColumns(layout);
        observer.setNext(&list);
        table.setObserver(&observer);
    }
    void record(uint32_t first, uint32_t count) {
        for (uint32_t k = first; k < first + count; ++k) appendSampleRow(table, k);
    }
    Problem problem;
    Journal journal;
    RecordTable table;
    CountingObserver list;
    JournalTableObserver observer{journal, table};
};

TEST(JournalRestore, RowsOfAnEndedRunAreOfferedAndComeBackByteForByteInTheirOrder) {
    TempDir dir;
    std::vector<std::string> recorded;
    {
        StationRun first(dir);
        ASSERT_EQ(first.problem, Problem::None);
        EXPECT_EQ(first.journal.pending().count, 0u);
        first.record(0, 7);
        recorded = rowsOf(first.table);
    }
    StationRun second(dir);
    EXPECT_EQ(second.journal.pending().count, 7u);
    EXPECT_EQ(second.journal.pending().firstStamp, "2026-12-08; 05:00:00");
    RecordTable restored;
    const RestoreResult result = second.journal.restorePending(restored, core::Language::English);
    EXPECT_EQ(result.outcome, RestoreOutcome::Restored);
    EXPECT_EQ(result.restored, 7u);
    EXPECT_EQ(rowsOf(restored), recorded);
    EXPECT_TRUE(restored.layout().sameRowShape(sampleLayout()));
    EXPECT_EQ(restored.layout().language, core::Language::English);
}

TEST(JournalRestore, RestoredRowsBelongToTheNewRunOfferedAgainOnceWhenItEndsUnsaved) {
    for (const uint32_t newRows : {0u, 1u}) {
        TempDir dir;
        { StationRun(dir).record(0, 4); }
        {
            StationRun second(dir);
            ASSERT_EQ(second.journal.restorePending(second.table, core::Language::Chinese).restored, 4u);
            // The list hears of them at once, as of a new table.
            EXPECT_EQ(second.list.resets, 1);
            EXPECT_EQ(second.table.rowCount(), 4u);
            // New rows go on after the restored ones.
            second.record(4, newRows);
        }
        StationRun third(dir);
        EXPECT_EQ(third.journal.pending().count, 4u + newRows);
        RecordTable table;
        third.journal.restorePending(table, core::Language::Chinese);
        RecordTable expected;
        expected.prepareColumns(sampleLayout());
        for (uint32_t k = 0; k < 4 + newRows; ++k) appendSampleRow(expected, k);
        EXPECT_EQ(rowsOf(table), rowsOf(expected));
    }
}

// The restore reads on its own thread; rows recorded meanwhile follow the
// restored ones, in the table and in the journal.
TEST(JournalRestore, RowsRecordedWhileTheRestoreReadsComeAfterTheRestoredOnes) {
    TempDir dir;
    { StationRun(dir).record(0, 3); }
    RecordTable expected;
    expected.prepareColumns(sampleLayout());
    for (uint32_t k = 0; k < 5; ++k) appendSampleRow(expected, k);
    {
        StationRun second(dir);
        ASSERT_TRUE(second.journal.startRestore(second.table, core::Language::Chinese, {}, {}));
        second.record(3, 2);
        EXPECT_EQ(second.journal.finishRestore(second.table).restored, 3u);
        EXPECT_EQ(rowsOf(second.table), rowsOf(expected));
    }
    StationRun third(dir);
    RecordTable table;
    third.journal.restorePending(table, core::Language::Chinese);
    EXPECT_EQ(rowsOf(table), rowsOf(expected));
}

TEST(JournalSaving, SavedAndClearedRowsAreNotOfferedButRowsAfterTheSaveAre) {
    TempDir dir;
    {
        StationRun run(dir);
        run.record(0, 3);
        run.table.clearTable();  // the operator cleared three rows
        run.record(3, 5);
        run.journal.markSaved(run.table, 4);  // an export of the first four of these
        run.record(8, 2);
    }
    StationRun next(dir);
    RecordTable table;
    next.journal.restorePending(table, core::Language::Chinese);
    ASSERT_EQ(table.rowCount(), 3u);
    RecordTable expected;
    expected.prepareColumns(sampleLayout());
    for (uint32_t k : {7u, 8u, 9u}) appendSampleRow(expected, k);
    EXPECT_EQ(rowsOf(table), rowsOf(expected));
}

// A station that exports its rows lets a row go only once its export file
// holds it; for a window the backup is a file like any other.
TEST(JournalSaving, ABackupAloneKeepsRowsOfferedToAStationThatExports) {
    TempDir dir;
    {
        StationRun run(dir, sampleLayout(), Offered::NotExported);
        run.record(0, 5);
        run.journal.markSaved(run.table, 5);     // the backup
        run.journal.markExported(run.table, 2);  // the period's file, then it could not be written
    }
    {
        StationRun window(dir);
        EXPECT_EQ(window.journal.pending().count, 0u);
        window.journal.discardPending();
    }
    StationRun exporting(dir, sampleLayout(), Offered::NotExported);
    EXPECT_EQ(exporting.journal.pending().count, 3u);
    RecordTable table;
    exporting.journal.restorePending(table, core::Language::Chinese);
    RecordTable expected;
    expected.prepareColumns(sampleLayout());
    for (uint32_t k : {2u, 3u, 4u}) appendSampleRow(expected, k);
    EXPECT_EQ(rowsOf(table), rowsOf(expected));
}

// The process died after an export file was noted, before its rows were
// marked: the next opening counts them exported when the file at its name is
// the one noted (renamed in place), and offers them again when it is not.
TEST(JournalSaving, AnExportNotedAndNeverMarkedIsSettledByTheFileAtItsName) {
    for (const bool renamed : {true, false}) {
        SCOPED_TRACE(renamed ? "renamed" : "not renamed");
        TempDir dir;
        const std::string path = (dir / "line1.xls").string();
        {
            StationRun run(dir, sampleLayout(), Offered::NotExported);
            run.record(0, 5);
            const records::BeforeRename note = run.journal.noteExport(run.table, 3, path);
            ASSERT_TRUE(note);
            records::PlainRecordSources sources;
            const auto written = records::writeTableFile(run.table, sources, true, records::kTabFormat, path,
                                                         [&](const records::FileIdentity& file) {
                                                             return note(file) != 0 ? EIO : renamed ? 0 : ENOSPC;
                                                         });
            ASSERT_EQ(written.ok, renamed);
        }
        StationRun next(dir, sampleLayout(), Offered::NotExported);
        EXPECT_EQ(next.journal.pending().count, renamed ? 2u : 5u);
        EXPECT_EQ(test::queryInt(next.journal.filePath(), "SELECT count(*) FROM export_note"), 0);
    }
}

// A file written before the backup and the export were told apart: what it
// marked saved stays let go, what it did not stays offered.
TEST(JournalSaving, AnOlderFileKeepsItsSavedRowsLetGo) {
    TempDir dir;
    const std::string path = (dir / kFileName).string();
    {
        StationRun run(dir);
        run.record(0, 3);
        run.journal.markSaved(run.table, 2);
    }
    ASSERT_TRUE(
        test::execute(path, "DROP INDEX journal_row_unexported; ALTER TABLE journal_row DROP COLUMN exported_ms"));
    StationRun exporting(dir, sampleLayout(), Offered::NotExported);
    EXPECT_EQ(exporting.journal.pending().count, 1u);
}

// A period's file holds the first rows; those recorded while it was written
// stay as the first rows of the table, and only they are offered.
TEST(JournalSaving, RowsKeptAfterTheFirstOnesWereExportedAreOfferedAloneInOrder) {
    TempDir dir;
    RecordTable expected;
    expected.prepareColumns(sampleLayout());
    for (uint32_t k = 3; k < 6; ++k) appendSampleRow(expected, k);
    {
        StationRun run(dir, sampleLayout(), Offered::NotExported);
        run.record(0, 5);
        run.journal.markExported(run.table, 3);
        ASSERT_TRUE(run.journal.dropFirstRows(run.table, 3));
        run.record(5, 1);
        EXPECT_EQ(rowsOf(run.table), rowsOf(expected));
    }
    StationRun next(dir, sampleLayout(), Offered::NotExported);
    RecordTable table;
    next.journal.restorePending(table, core::Language::Chinese);
    EXPECT_EQ(rowsOf(table), rowsOf(expected));
}

TEST(JournalSaving, AClearingTheStationDidNotAnnounceStillStartsANewTable) {
    TempDir dir;
    {
        StationRun run(dir);
        run.table.setObserver(nullptr);
        run.record(0, 3);
        run.journal.follow(run.table);
        run.table.clearTable();
        run.record(3, 2);
        run.journal.follow(run.table);
        run.journal.waitWritten();
        // The new rows took the places of the cleared ones without a clash.
        EXPECT_TRUE(run.journal.isOn());
    }
    StationRun next(dir);
    RecordTable table;
    next.journal.restorePending(table, core::Language::Chinese);
    RecordTable expected;
    expected.prepareColumns(sampleLayout());
    for (uint32_t k : {3u, 4u}) appendSampleRow(expected, k);
    EXPECT_EQ(rowsOf(table), rowsOf(expected));
}

TEST(JournalSaving, ACodeChangedAfterASaveIsInNoFileUntilTheNextSave) {
    for (const bool savedAgain : {false, true}) {
        TempDir dir;
        std::string changed;
        {
            StationRun run(dir);
            run.record(0, 3);
            run.journal.markSaved(run.table, 3);
            run.table.updateCode(1, records::WorkpieceCode::fromGbk("NEW-7"));
            changed = run.table.row(1).bytes();
            if (savedAgain) run.journal.markSaved(run.table, 3);
            // The list on screen hears everything the journal's observer hears.
            EXPECT_EQ(run.list.appended, 3);
            EXPECT_EQ(run.list.changedRows, std::vector<uint32_t>{1});
        }
        StationRun next(dir);
        RecordTable table;
        next.journal.restorePending(table, core::Language::Chinese);
        if (savedAgain) {
            EXPECT_EQ(table.rowCount(), 0u);
        } else {
            EXPECT_EQ(rowsOf(table), std::vector<std::string>{changed});
            EXPECT_EQ(table.row(0).code(), "NEW-7");
        }
    }
}

TEST(JournalPruning, SavedRowsOlderThanTheSettingGoAtStartUnsavedOnesStay) {
    TempDir dir;
    const std::string file = dir.path().string() + "/" + kFileName;
    {
        StationRun run(dir);
        run.record(0, 4);
        run.journal.markSaved(run.table, 3);
    }
    const int64_t now = test::wallClockMs();
    for (const auto& [daysLater, rowsKept] : {std::pair{29, 4}, std::pair{31, 1}}) {
        {
            Journal later;
            ASSERT_EQ(later.open(dir.path().string(), 30, now + daysLater * kDayMs), Problem::None);
            EXPECT_EQ(later.pending().count, 1u);
        }
        EXPECT_EQ(test::queryInt(file, "SELECT count(*) FROM journal_row"), rowsKept) << daysLater << " days later";
    }
}

// A journal an earlier version left: its rows hold the texts of the moment
// beside the numbers. Opened, they are rebuilt as rows of numbers that show
// the same texts, and come back like any other row.
TEST(JournalRowShape, RowsOfTheFirstShapeAreRebuiltWhenTheJournalIsOpened) {
    TempDir dir;
    const std::string path = (dir / kFileName).string();
    std::vector<std::string> recorded;
    {
        StationRun first(dir, sampleLayout(2, true));
        first.record(0, 2);
        recorded = rowsOf(first.table);
    }
    // Row 1 as the first shape kept it: texts, result, stamp, code slot and
    // its '/' flag, then the numbers (zone, fine, present, count << 4).
    std::string old;
    old += "  3.001  0.48600";
    old += "\xB3\xAC\xB2\xEE";  // 超差
    old += "2019-11-29; 13:52:30";
    std::string slot = "/00123";
    slot.resize(records::kCodeSlotBytes, '\0');
    old += slot;
    old += '\1';
    for (const uint32_t bits : {3001u << 4 | 8u | 1u, 12345u << 4 | 8u | 3u})
        for (int i = 0; i < 4; ++i) old += static_cast<char>(bits >> (8 * i) & 0xFFu);
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(db, "UPDATE journal_row SET bytes = ?1 WHERE position = 0", -1, &update, nullptr);
        sqlite3_bind_blob(update, 1, old.data(), static_cast<int>(old.size()), SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(update), SQLITE_DONE);
        sqlite3_finalize(update);
        EXPECT_EQ(sqlite3_exec(db, "PRAGMA user_version = 0", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close_v2(db);
    }

    StationRun second(dir, sampleLayout(2, true));
    EXPECT_EQ(test::queryInt(path, "PRAGMA user_version"), records::kRowShapeVersion);
    EXPECT_EQ(second.journal.pending().count, 2u);
    EXPECT_EQ(second.journal.pending().firstStamp, "2019-11-29; 13:52:30");
    RecordTable restored;
    ASSERT_EQ(second.journal.restorePending(restored, core::Language::English).restored, 2u);
    const records::RowView row = restored.row(0);
    EXPECT_EQ(row.valueText(1).text(), "  3.001 ");
    EXPECT_EQ(row.valueText(2).text(), " 0.48600");
    EXPECT_EQ(row.number(2).zone, records::RecordedZone::Ng);
    EXPECT_EQ(row.resultCell(), "\xB3\xAC\xB2\xEE");
    EXPECT_EQ(records::stampText(row.timeStamp()), "2019-11-29; 13:52:30");
    EXPECT_EQ(row.codeSlot(), slot);
    EXPECT_EQ(row.code(), "00123");
    // A row of today's shape in the same file is kept as it was.
    EXPECT_EQ(restored.row(1).bytes(), recorded[1]);
}

TEST(JournalLayouts, RowsOfAnotherLayoutStayOfferedForTheNextStart) {
    TempDir dir;
    { StationRun(dir, sampleLayout(60, true)).record(0, 2); }
    { StationRun(dir, sampleLayout(5, false)).record(2, 3); }
    { StationRun(dir, sampleLayout(60, true)).record(5, 1); }
    {
        StationRun next(dir);
        EXPECT_EQ(next.journal.pending().count, 6u);
        RecordTable table;
        const RestoreResult result = next.journal.restorePending(table, core::Language::Chinese);
        EXPECT_EQ(result.outcome, RestoreOutcome::PartRestored);
        EXPECT_EQ(result.restored, 3u);
        EXPECT_EQ(result.left, 3u);
        EXPECT_EQ(table.layout().probeCount, 60u);
        EXPECT_TRUE(table.layout().codeColumn);
        next.journal.markSaved(table, table.rowCount());
    }
    EXPECT_EQ(StationRun(dir).journal.pending().count, 3u);
}

TEST(JournalLayouts, AStoredRowThatFitsNoLayoutIsNeverPutIntoATable) {
    TempDir dir;
    { StationRun(dir).record(0, 2); }
    const std::string file = dir.path().string() + "/" + kFileName;
    ASSERT_TRUE(test::execute(file,
                              "UPDATE journal_row SET probe_count = 61 WHERE position = 0;"
                              "UPDATE journal_row SET bytes = x'00' WHERE position = 1"));
    StationRun next(dir);
    EXPECT_EQ(next.journal.pending().count, 0u);
    RecordTable table;
    next.journal.restorePending(table, core::Language::Chinese);
    EXPECT_EQ(table.rowCount(), 0u);
}

// The file grows with every row; what the journal keeps of it in memory does
// not, or an hour of rows would be held twice, in the table and in its cache.
TEST(JournalMemory, WhatTheJournalKeepsInMemoryDoesNotGrowWithItsRows) {
    TempDir dir;
    StationRun run(dir);
    run.record(0, 10'000);
    run.journal.waitWritten();
    ASSERT_EQ(run.journal.writtenRows(), 10'000u);
    EXPECT_LT(sqlite3_memory_used(), 1'000'000);
}

TEST(JournalLock, ASecondStationOnTheSameDirectoryIsKeptOutAndToldSo) {
    TempDir dir;
    StationRun first(dir);
    first.record(0, 2);
    Journal second;
    EXPECT_EQ(second.open(dir.path().string()), Problem::InUse);
    EXPECT_FALSE(second.isOn());
    ASSERT_TRUE(second.takeReport().has_value());
    EXPECT_FALSE(second.takeReport().has_value());
    // The first station's live rows are not taken for rows of an ended run.
    EXPECT_EQ(second.pending().count, 0u);
}

}  // namespace
}  // namespace gaugemon::journal
