#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "journal/sqlite_db.h"

namespace gaugemon::journal {

// Where a row stands in the table of one run: the table's clearings since the
// start (generation) and the row's index in it.
struct RowPlace {
    int64_t run = 0;
    int64_t generation = 0;
    int64_t position = 0;
};

// A stored row as read back; nothing in it is trusted.
struct StoredRow {
    int64_t id = 0;
    int64_t probeCount = 0;
    int64_t codeColumn = 0;
    std::string_view bytes;  // valid until the next row is read
};

// The rows of the journal file and every statement on them. Results are
// SQLite's result codes. One thread at a time.
class JournalStore {
public:
    // Opens or creates the file, in WAL mode with full syncing, and makes
    // the tables; the file is damaged when the code says so (meansDamaged).
    int open(const std::string& path);
    void close() { db_.close(); }

    // Deletes saved rows recorded before `cutoffMs`, published or not;
    // `unpublished` tells how many of them never reached the broker.
    int pruneSaved(int64_t cutoffMs, int64_t& unpublished);
    // A new run, numbered above every earlier one.
    int beginRun(int64_t nowMs, int64_t& run);

    // Rows of runs before `run` that are in no file, oldest first; `each`
    // returns false to stop.
    int forEachUnsaved(int64_t run, const std::function<bool(const StoredRow&)>& each);
    // Gives an earlier run's row a place in the table of this run.
    int moveRow(int64_t id, const RowPlace& place);
    // Every row of runs before `run` that is in no file counts as saved.
    int discardUnsaved(int64_t run, int64_t nowMs);

    int begin() { return db_.exec("BEGIN IMMEDIATE"); }
    int commit() { return db_.exec("COMMIT"); }
    void rollback() { db_.exec("ROLLBACK"); }

    int insertRow(const RowPlace& place, int64_t probeCount, bool codeColumn, int64_t recordedMs,
                  std::string_view bytes);
    // A row changed after it was recorded (its code): in no file again.
    int replaceRow(const RowPlace& place, std::string_view bytes);
    // The first `rows` rows of a table are in a file.
    int markSaved(const RowPlace& tableStart, int64_t rows, int64_t nowMs);

private:
    int makeTables();
    int addPublishedMark();
    int prepareStatements();

    Database db_;
    Statement insert_;
    Statement replace_;
    Statement markSaved_;
    Statement unsaved_;
    Statement move_;
};

}  // namespace gaugemon::journal
