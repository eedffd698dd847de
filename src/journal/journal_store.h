#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "journal/sqlite_db.h"
#include "records/atomic_file.h"

namespace gaugemon::journal {

// Where a row stands in the table of one run: the table's clearings since the
// start (generation) and the row's index in it.
struct RowPlace {
    int64_t run = 0;
    int64_t generation = 0;
    int64_t position = 0;
};

// How far the files hold the rows of one run's tables: every row of the
// generations before `generation` is in a file and let go, and of the table
// of `generation` the first `savedRows` are in a file and the first
// `exportedRows` in the run's output. Telling the same again costs nothing,
// so the latest marks stand for all earlier ones.
struct MarkState {
    int64_t run = 0;
    int64_t generation = 0;
    int64_t savedRows = 0;
    int64_t exportedRows = 0;
    bool operator==(const MarkState&) const = default;
};

// An export file about to take its name, kept in the journal until its rows
// are marked exported: if the process dies in between, the next start finds
// out from the file at `path` whether it holds the rows.
struct ExportNote {
    RowPlace end;  // the rows of end.run's table end.generation before end.position
    std::string path;
    records::FileIdentity file;
};

// Which rows a start offers: those in no file at all, or those in no export
// file (a backup alone does not count for a station that exports its rows).
enum class Offered : uint8_t { InNoFile, NotExported };

// A stored row as read back; nothing in it is trusted.
struct StoredRow {
    int64_t id = 0;
    int64_t probeCount = 0;
    int64_t codeColumn = 0;
    std::string_view bytes;     // valid until the next row is read
    std::string_view limits{};  // the limits it was recorded with; empty for none
    // The characteristics recorded after the probes
    // (records::encodeCharacteristicColumns); empty for none.
    std::string_view characteristics{};
};

// The rows of the journal file and every statement on them. Results are
// SQLite's result codes. One thread at a time.
class JournalStore {
public:
    // Opens or creates the file, in WAL mode with full syncing, and makes
    // the tables; the file is damaged when the code says so (meansDamaged).
    int open(const std::string& path, Offered offered = Offered::InNoFile);
    void close() { db_.close(); }

    // Deletes rows let go (in the run's output, cleared or discarded)
    // recorded before `cutoffMs`, published or not;
    // `unpublished` tells how many of them never reached the broker.
    int pruneSaved(int64_t cutoffMs, int64_t& unpublished);
    // A new run, numbered above every earlier one.
    int beginRun(int64_t nowMs, int64_t& run);
    // The highest row id there is, 0 for none: the next row's is above it.
    int lastRowId(int64_t& id);

    // Rows of runs before `run` that are offered, oldest first; `each`
    // returns false to stop.
    int forEachUnsaved(int64_t run, const std::function<bool(const StoredRow&)>& each);
    // Gives an earlier run's row a place in the table of this run.
    int moveRow(int64_t id, const RowPlace& place);
    // Every row of runs before `run` that is offered counts as saved and exported.
    int discardUnsaved(int64_t run, int64_t nowMs);

    int begin() { return db_.exec("BEGIN IMMEDIATE"); }
    int commit() { return db_.exec("COMMIT"); }
    void rollback() { db_.exec("ROLLBACK"); }

    // `characteristics` as StoredRow keeps them.
    // `id` 0 lets the file choose one above every row's.
    int insertRow(const RowPlace& place, int64_t probeCount, bool codeColumn, int64_t recordedMs,
                  std::string_view bytes, int64_t limitSet = 0, std::string_view characteristics = {}, int64_t id = 0);
    // Keeps the limits rows were recorded with, once; `id` is theirs then.
    int insertLimitSet(std::string_view bytes, int64_t& id);
    // A row changed after it was recorded (its code): in no file again.
    int replaceRow(const RowPlace& place, std::string_view bytes);
    // The files hold the rows as `marks` tells.
    int applyMarks(const MarkState& marks, int64_t nowMs);
    // The rows of a table from `from.position` on become the first rows of
    // the table of the next generation.
    int shiftRows(const RowPlace& from);

    // Keeps `note` in a transaction of its own, synced; `id` is its own then.
    int noteExport(const ExportNote& note, int64_t& id);
    // The export is over, its rows marked or kept as it ended.
    int forgetExport(int64_t id);
    // The exports a killed run left noted: the rows of those `renamed` says
    // took their file's name count as exported; no note stays.
    int settleExports(int64_t nowMs, const std::function<bool(const ExportNote&)>& renamed);

private:
    int makeTables();
    int addPublishedMark();
    int addExportedMark();
    int migrateRowShape();
    int addLimitSets();
    int addCharacteristics();
    int prepareStatements(Offered offered);

    Database db_;
    Statement insert_;
    Statement insertLimits_;
    Statement replace_;
    // Saved, exported: the generations before one, and the first rows of one.
    Statement markEarlier_[2];
    Statement markFirst_[2];
    Statement unsaved_;
    Statement move_;
    Statement discard_;
    Statement shift_;
    Statement note_;
    Statement forget_;
};

}  // namespace gaugemon::journal
