#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_table_observer.h"
#include "journal/outbox_store.h"
#include "journal_test_support.h"
#include "records/records_test_support.h"
#include "sample_rows.h"

namespace gaugemon::journal {
namespace {

using records::RecordTable;
using records::test::TempDir;
using test::appendSampleRow;
using test::execute;
using test::queryInt;
using test::sampleLayout;

constexpr int64_t kDayMs = 86'400'000;

struct Recording {
    explicit Recording(const TempDir& dir) {
        problem = journal.open(dir.path().string());
        table.prepareColumns(sampleLayout(4, true));
        table.setObserver(&observer);
    }
    void record(uint32_t first, uint32_t count) {
        for (uint32_t k = first; k < first + count; ++k) appendSampleRow(table, k);
    }
    Problem problem;
    Journal journal;
    RecordTable table;
    JournalTableObserver observer{journal, table};
};

std::vector<int64_t> unpublishedIds(OutboxStore& outbox, int64_t afterId = 0, int64_t limit = 1000) {
    std::vector<int64_t> ids;
    outbox.forEachUnpublished(afterId, limit, [&](const OutgoingRow& row) {
        ids.push_back(row.id);
        return true;
    });
    return ids;
}

// The file as the journal wrote it before rows were published.
void writeOldJournal(const std::string& path) {
    ASSERT_TRUE(test::createDatabase(path,
                                     "CREATE TABLE run (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL);"
                                     "CREATE TABLE journal_row (id INTEGER PRIMARY KEY, run INTEGER NOT NULL, "
                                     "generation INTEGER NOT NULL, position INTEGER NOT NULL, "
                                     "probe_count INTEGER NOT NULL, code_column INTEGER NOT NULL, "
                                     "recorded_ms INTEGER NOT NULL, saved_ms INTEGER, bytes BLOB NOT NULL);"
                                     "INSERT INTO run VALUES (1, 0);"
                                     "INSERT INTO journal_row VALUES (1, 1, 0, 0, 4, 1, 0, NULL, x'00');"));
}

TEST(JournalPublishedMark, AnOlderFileGainsTheMarkAndItsRowsCountAsPublished) {
    TempDir dir;
    const std::string path = (dir / kFileName).string();
    writeOldJournal(path);
    {
        Recording run(dir);
        ASSERT_EQ(run.problem, Problem::None);
        run.record(0, 3);
        ASSERT_TRUE(run.journal.waitWritten());
        OutboxStore outbox;
        ASSERT_EQ(outbox.open(path), 0);
        EXPECT_EQ(unpublishedIds(outbox), (std::vector<int64_t>{2, 3, 4}));
    }
    EXPECT_EQ(queryInt(path, "SELECT published_ms FROM journal_row WHERE id = 1"), 0);
    // A second opening finds the mark and changes nothing.
    Recording again(dir);
    EXPECT_EQ(again.problem, Problem::None);
    EXPECT_EQ(queryInt(path, "SELECT count(*) FROM journal_row WHERE published_ms IS NULL"), 3);
}

TEST(JournalOutbox, ReadsUnpublishedRowsInIdOrderAfterAnIdAndForgetsThoseMarked) {
    TempDir dir;
    Recording run(dir);
    run.record(0, 6);
    ASSERT_TRUE(run.journal.waitWritten());
    OutboxStore outbox;
    ASSERT_EQ(outbox.open(run.journal.filePath()), 0);
    EXPECT_EQ(unpublishedIds(outbox, 2, 3), (std::vector<int64_t>{3, 4, 5}));
    const std::vector<int64_t> acknowledged{1, 3};
    EXPECT_EQ(outbox.markPublished(acknowledged, 1000), 0);
    EXPECT_EQ(unpublishedIds(outbox), (std::vector<int64_t>{2, 4, 5, 6}));
    int64_t waiting = 0;
    EXPECT_EQ(outbox.countUnpublished(waiting), 0);
    EXPECT_EQ(waiting, 4);

    // Row 2 as the outbox reads it: the row the table holds.
    outbox.forEachUnpublished(1, 1, [&](const OutgoingRow& row) {
        EXPECT_EQ(row.position, 1);
        EXPECT_EQ(row.probeCount, 4);
        EXPECT_EQ(row.codeColumn, 1);
        EXPECT_EQ(row.bytes, run.table.row(1).bytes());
        return true;
    });
}

TEST(JournalOutbox, NeverMakesAJournalFileWhereNoneIs) {
    TempDir dir;
    OutboxStore outbox;
    EXPECT_NE(outbox.open((dir / kFileName).string()), 0);
    EXPECT_FALSE(outbox.isOpen());
    EXPECT_TRUE(dir.entries().empty());
}

TEST(JournalWrittenListener, SetBeforeOpeningIsHeardOnceTheJournalRuns) {
    TempDir dir;
    Journal journal;
    std::atomic<int> calls{0};
    journal.setWrittenListener([&] { ++calls; });
    ASSERT_EQ(journal.open(dir.path().string()), Problem::None);
    RecordTable table;
    table.prepareColumns(sampleLayout(4, true));
    appendSampleRow(table, 0);
    journal.follow(table);
    ASSERT_TRUE(journal.waitWritten());
    EXPECT_EQ(calls.load(), 1);
}

TEST(JournalWrittenListener, IsCalledAfterTheBatchIsCommittedSoAnotherConnectionSeesTheRows) {
    TempDir dir;
    Recording run(dir);
    OutboxStore outbox;
    ASSERT_EQ(outbox.open(run.journal.filePath()), 0);
    std::atomic<int> calls{0};
    std::atomic<size_t> seen{0};
    run.journal.setWrittenListener([&] {
        seen = unpublishedIds(outbox).size();
        ++calls;
    });
    run.record(0, 1);
    ASSERT_TRUE(run.journal.waitWritten());
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(seen.load(), 1u);
    run.journal.markSaved(run.table, 1);  // no row added: nobody to wake
    ASSERT_TRUE(run.journal.waitWritten());
    EXPECT_EQ(calls.load(), 1);
}

// The outbox's marks take the write lock of the file for a moment; the
// journal's writer must wait for them instead of failing and going off.
TEST(JournalWriter, WaitsForAnotherConnectionsWriteInsteadOfGoingOff) {
    TempDir dir;
    Recording run(dir);
    run.record(0, 1);
    ASSERT_TRUE(run.journal.waitWritten());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(run.journal.filePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    run.record(1, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the writer meets the lock
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(run.journal.waitWritten());
    EXPECT_TRUE(run.journal.isOn());
    EXPECT_FALSE(run.journal.takeReport().has_value());
    EXPECT_EQ(queryInt(run.journal.filePath(), "SELECT count(*) FROM journal_row"), 2);
}

TEST(JournalPrune, CountsTheOldSavedRowsThatNeverReachedTheBroker) {
    TempDir dir;
    const int64_t now = test::wallClockMs();
    std::string path;
    {
        Recording run(dir);
        run.record(0, 5);
        run.journal.markSaved(run.table, 4);  // row 5 stays in no file
        ASSERT_TRUE(run.journal.waitWritten());
        path = run.journal.filePath();
    }
    ASSERT_TRUE(execute(path, "UPDATE journal_row SET published_ms = 1 WHERE id <= 2"));
    Journal journal;
    ASSERT_EQ(journal.open(dir.path().string(), 30, now + 31 * kDayMs), Problem::None);
    EXPECT_EQ(journal.prunedUnpublished(), 2u);                        // rows 3 and 4
    EXPECT_EQ(queryInt(path, "SELECT count(*) FROM journal_row"), 1);  // the unsaved row stays
}

// A row's number on the web page is its id, the one the outbox publishes: it
// rises across runs, a restored row keeps its own, and a row kept when the
// rows before it go keeps it too.
TEST(JournalSequence, ARowKeepsItsNumberAcrossRunsAndTheOutboxSendsTheSame) {
    TempDir dir;
    {
        Recording run(dir);
        run.record(0, 3);
        run.journal.markSaved(run.table, 2);
        ASSERT_TRUE(run.journal.waitWritten());
    }
    Recording next(dir);
    ASSERT_EQ(next.journal.pending().count, 1u);
    ASSERT_EQ(next.journal.restorePending(next.table, core::Language::English).restored, 1u);
    next.record(3, 2);
    ASSERT_TRUE(next.journal.waitWritten());
    ASSERT_EQ(next.journal.rowsNumbered(), 3u);
    EXPECT_EQ(next.journal.sequenceOf(0), 3);
    EXPECT_EQ(next.journal.sequenceOf(1), 4);
    EXPECT_EQ(next.journal.sequenceOf(2), 5);
    OutboxStore outbox;
    ASSERT_EQ(outbox.open(next.journal.filePath()), 0);
    EXPECT_EQ(unpublishedIds(outbox), (std::vector<int64_t>{1, 2, 3, 4, 5}));

    ASSERT_TRUE(next.journal.dropFirstRows(next.table, 2));
    EXPECT_EQ(next.journal.sequenceOf(0), 5);
    next.table.clearTable();
    next.record(5, 1);
    EXPECT_EQ(next.journal.sequenceOf(0), 6);
}

// A row's id is its sequence number for the plant's consumers, who drop a
// number seen before: a journal pruned empty must not number from 1 again.
TEST(JournalPrune, NumbersGoOnRisingAfterEverySavedRowWasPruned) {
    TempDir dir;
    const int64_t now = test::wallClockMs();
    std::string path;
    {
        Recording run(dir);
        run.record(0, 3);
        run.journal.markSaved(run.table, 3);
        ASSERT_TRUE(run.journal.waitWritten());
        path = run.journal.filePath();
    }
    {
        Journal later;
        ASSERT_EQ(later.open(dir.path().string(), 30, now + 31 * kDayMs), Problem::None);
    }
    Recording next(dir);
    next.record(0, 1);
    ASSERT_TRUE(next.journal.waitWritten());
    EXPECT_EQ(queryInt(path, "SELECT max(id) FROM journal_row"), 4);
}

}  // namespace
}  // namespace gaugemon::journal
