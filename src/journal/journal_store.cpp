#include "journal/journal_store.h"

#include <sqlite3.h>

#include <string>
#include <vector>

#include "records/first_row_shape.h"
#include "records/record_table.h"

namespace gaugemon::journal {

namespace {

constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS run (
  id INTEGER PRIMARY KEY,
  started_ms INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS journal_row (
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL,
  generation INTEGER NOT NULL,
  position INTEGER NOT NULL,
  probe_count INTEGER NOT NULL,
  code_column INTEGER NOT NULL,
  recorded_ms INTEGER NOT NULL,
  saved_ms INTEGER,
  bytes BLOB NOT NULL,
  published_ms INTEGER,
  exported_ms INTEGER
);
CREATE TABLE IF NOT EXISTS limit_set (
  id INTEGER PRIMARY KEY,
  bytes BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS export_note (
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL,
  generation INTEGER NOT NULL,
  rows INTEGER NOT NULL,
  path TEXT NOT NULL,
  device INTEGER NOT NULL,
  inode INTEGER NOT NULL,
  size INTEGER NOT NULL
);
CREATE UNIQUE INDEX IF NOT EXISTS journal_row_place ON journal_row (run, generation, position);
CREATE INDEX IF NOT EXISTS journal_row_unsaved ON journal_row (run, generation, position) WHERE saved_ms IS NULL;
CREATE INDEX IF NOT EXISTS journal_row_recorded ON journal_row (recorded_ms);
)sql";

// Files written before rows were published lack the mark. Their rows count as
// published: they were recorded when no broker was asked for, and a station
// that gets one later should not send weeks of old rows first.
constexpr const char* kAddPublished = R"sql(
ALTER TABLE journal_row ADD COLUMN published_ms INTEGER;
UPDATE journal_row SET published_ms = 0;
)sql";

// Files written before the backup and the export were told apart marked a
// row saved for either; such a row was let go then and stays so.
constexpr const char* kAddExported = R"sql(
ALTER TABLE journal_row ADD COLUMN exported_ms INTEGER;
UPDATE journal_row SET exported_ms = saved_ms;
)sql";

constexpr const char* kUnexportedIndex =
    "CREATE INDEX IF NOT EXISTS journal_row_unexported ON journal_row (run, generation, position) "
    "WHERE exported_ms IS NULL";

constexpr const char* kUnpublishedIndex =
    "CREATE INDEX IF NOT EXISTS journal_row_unpublished ON journal_row (id) WHERE published_ms IS NULL";

// The writer waits this long for the outbox's short marking transactions.
constexpr int kBusyWaitMs = 5000;

}  // namespace

int JournalStore::open(const std::string& path, Offered offered) {
    int code = db_.open(path);
    if (code != SQLITE_OK) return code;
    std::string mode;
    code = db_.queryText("PRAGMA journal_mode=WAL", mode);
    if (code != SQLITE_OK) return code;
    if (mode != "wal") return SQLITE_CANTOPEN;
    db_.setBusyTimeout(kBusyWaitMs);
    // FULL: every commit syncs the write-ahead log, so a committed row
    // survives a power cut. NORMAL syncs only at checkpoints and may lose
    // the last commits when the power goes; the sync runs on the journal's
    // own thread, so its cost is not the caller's.
    code = db_.exec("PRAGMA synchronous=FULL");
    if (code != SQLITE_OK) return code;
    code = makeTables();
    if (code != SQLITE_OK) return code;
    return prepareStatements(offered);
}

int JournalStore::makeTables() {
    int code = db_.exec("BEGIN IMMEDIATE");
    if (code != SQLITE_OK) return code;
    code = db_.exec(kTables);
    if (code == SQLITE_OK) code = addPublishedMark();
    if (code == SQLITE_OK) code = db_.exec(kUnpublishedIndex);
    if (code == SQLITE_OK) code = addExportedMark();
    if (code == SQLITE_OK) code = db_.exec(kUnexportedIndex);
    if (code == SQLITE_OK) code = addLimitSets();
    if (code == SQLITE_OK) code = addCharacteristics();
    if (code == SQLITE_OK) code = migrateRowShape();
    if (code != SQLITE_OK) {
        db_.exec("ROLLBACK");
        return code;
    }
    return db_.exec("COMMIT");
}

int JournalStore::addPublishedMark() {
    bool present = false;
    const int code = hasColumn(db_, "journal_row", "published_ms", present);
    if (code != SQLITE_OK || present) return code;
    return db_.exec(kAddPublished);
}

int JournalStore::addExportedMark() {
    bool present = false;
    const int code = hasColumn(db_, "journal_row", "exported_ms", present);
    if (code != SQLITE_OK || present) return code;
    return db_.exec(kAddExported);
}

// Rows of files written before the limits went with them have none.
int JournalStore::addLimitSets() {
    bool present = false;
    const int code = hasColumn(db_, "journal_row", "limit_set", present);
    if (code != SQLITE_OK || present) return code;
    return db_.exec("ALTER TABLE journal_row ADD COLUMN limit_set INTEGER");
}

// Rows of files written before characteristics were recorded have none.
int JournalStore::addCharacteristics() {
    bool present = false;
    const int code = hasColumn(db_, "journal_row", "characteristics", present);
    if (code != SQLITE_OK || present) return code;
    return db_.exec("ALTER TABLE journal_row ADD COLUMN characteristics BLOB");
}

// A file's user version is the shape of the rows it holds; 0 is the first
// one, from before the version was kept. Rows of the first shape are rebuilt
// in today's, a batch at a time; a row that is not one of ours stays as it
// is and is never put into a table.
int JournalStore::migrateRowShape() {
    std::string version;
    int code = db_.queryText("PRAGMA user_version", version);
    if (code != SQLITE_OK) return code;
    if (version == std::to_string(records::kRowShapeVersion)) return SQLITE_OK;
    Statement select;
    Statement update;
    code = db_.prepare(
        select, "SELECT id, probe_count, code_column, bytes FROM journal_row WHERE id > ?1 ORDER BY id LIMIT 512");
    if (code == SQLITE_OK) code = db_.prepare(update, "UPDATE journal_row SET bytes = ?2 WHERE id = ?1");
    if (code != SQLITE_OK) return code;
    std::vector<std::pair<int64_t, std::string>> batch;
    int64_t after = 0;
    size_t read = 0;
    do {
        batch.clear();
        read = 0;
        select.bind(1, after);
        while ((code = select.step()) == SQLITE_ROW) {
            ++read;
            after = select.intAt(0);
            const int64_t probes = select.intAt(1);
            const int64_t codes = select.intAt(2);
            if (probes < 1 || probes > static_cast<int64_t>(measure::kMaxProbes) || (codes != 0 && codes != 1))
                continue;
            const records::TableLayout layout{static_cast<unsigned>(probes), codes == 1};
            std::string rebuilt;
            if (records::rowFromFirstShape(select.blobAt(3), layout, rebuilt)) batch.emplace_back(after, rebuilt);
        }
        select.reset();
        if (code != SQLITE_DONE) return code;
        for (const auto& [id, bytes] : batch) {
            update.bind(1, id);
            update.bindBlob(2, bytes);
            code = update.run();
            if (code != SQLITE_DONE) return code;
        }
    } while (read > 0);
    return db_.exec(("PRAGMA user_version = " + std::to_string(records::kRowShapeVersion)).c_str());
}

int JournalStore::prepareStatements(Offered offered) {
    const bool exports = offered == Offered::NotExported;
    const std::pair<Statement*, const char*> statements[] = {
        {&insert_,
         "INSERT INTO journal_row (id, run, generation, position, probe_count, code_column, recorded_ms, bytes, "
         "limit_set, characteristics) VALUES (NULLIF(?10, 0), ?1, ?2, ?3, ?4, ?5, ?6, ?7, NULLIF(?8, 0), ?9)"},
        {&insertLimits_, "INSERT INTO limit_set (bytes) VALUES (?1)"},
        {&replace_,
         "UPDATE journal_row SET bytes = ?4, saved_ms = NULL, exported_ms = NULL "
         "WHERE run = ?1 AND generation = ?2 AND position = ?3"},
        {&markEarlier_[0],
         "UPDATE journal_row SET saved_ms = ?3 WHERE saved_ms IS NULL AND run = ?1 AND generation < ?2"},
        {&markFirst_[0],
         "UPDATE journal_row SET saved_ms = ?4 WHERE saved_ms IS NULL AND run = ?1 AND generation = ?2 "
         "AND position < ?3"},
        {&markEarlier_[1],
         "UPDATE journal_row SET exported_ms = ?3, saved_ms = coalesce(saved_ms, ?3) "
         "WHERE exported_ms IS NULL AND run = ?1 AND generation < ?2"},
        {&markFirst_[1],
         "UPDATE journal_row SET exported_ms = ?4, saved_ms = coalesce(saved_ms, ?4) "
         "WHERE exported_ms IS NULL AND run = ?1 AND generation = ?2 AND position < ?3"},
        {&unsaved_, exports ? "SELECT r.id, r.probe_count, r.code_column, r.bytes, s.bytes, r.characteristics "
                              "FROM journal_row r LEFT JOIN limit_set s ON s.id = r.limit_set "
                              "WHERE r.exported_ms IS NULL AND r.run < ?1 ORDER BY r.id"
                            : "SELECT r.id, r.probe_count, r.code_column, r.bytes, s.bytes, r.characteristics "
                              "FROM journal_row r LEFT JOIN limit_set s ON s.id = r.limit_set "
                              "WHERE r.saved_ms IS NULL AND r.run < ?1 ORDER BY r.id"},
        {&move_, "UPDATE journal_row SET run = ?2, generation = ?3, position = ?4 WHERE id = ?1"},
        {&shift_,
         "UPDATE journal_row SET generation = ?2 + 1, position = position - ?3 "
         "WHERE run = ?1 AND generation = ?2 AND position >= ?3"},
        {&note_,
         "INSERT INTO export_note (run, generation, rows, path, device, inode, size) "
         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"},
        {&forget_, "DELETE FROM export_note WHERE id = ?1"},
        {&discard_, exports ? "UPDATE journal_row SET exported_ms = ?2, saved_ms = coalesce(saved_ms, ?2) "
                              "WHERE exported_ms IS NULL AND run < ?1"
                            : "UPDATE journal_row SET saved_ms = ?2, exported_ms = coalesce(exported_ms, ?2) "
                              "WHERE saved_ms IS NULL AND run < ?1"},
    };
    for (const auto& [statement, sql] : statements) {
        const int code = db_.prepare(*statement, sql);
        if (code != SQLITE_OK) return code;
    }
    return SQLITE_OK;
}

int JournalStore::pruneSaved(int64_t cutoffMs, int64_t& unpublished) {
    Statement count;
    int code = db_.prepare(count,
                           "SELECT count(*) FROM journal_row WHERE recorded_ms < ?1 AND exported_ms IS NOT NULL "
                           "AND published_ms IS NULL AND id < (SELECT max(id) FROM journal_row)");
    if (code != SQLITE_OK) return code;
    count.bind(1, cutoffMs);
    code = count.step();
    if (code != SQLITE_ROW) return code;
    unpublished = count.intAt(0);
    count.reset();
    Statement prune;
    // The newest row stays whatever its age: a row's id is its sequence
    // number for the plant, and an emptied table would hand out 1 again.
    code = db_.prepare(prune,
                       "DELETE FROM journal_row WHERE recorded_ms < ?1 AND exported_ms IS NOT NULL "
                       "AND id < (SELECT max(id) FROM journal_row)");
    if (code != SQLITE_OK) return code;
    prune.bind(1, cutoffMs);
    code = prune.run();
    if (code != SQLITE_DONE) return code;
    // Limits no row was recorded with any more, and runs without rows
    // left, tell nothing any more.
    code = db_.exec(
        "DELETE FROM limit_set WHERE id NOT IN (SELECT limit_set FROM journal_row WHERE limit_set IS NOT NULL)");
    if (code != SQLITE_OK) return code;
    return db_.exec(
        "DELETE FROM run WHERE id NOT IN (SELECT DISTINCT run FROM journal_row) "
        "AND id < (SELECT max(id) FROM run)");
}

int JournalStore::beginRun(int64_t nowMs, int64_t& run) {
    Statement insert;
    int code = db_.prepare(insert, "INSERT INTO run (started_ms) VALUES (?1)");
    if (code != SQLITE_OK) return code;
    insert.bind(1, nowMs);
    code = insert.run();
    if (code != SQLITE_DONE) return code;
    run = db_.lastInsertId();
    return SQLITE_OK;
}

int JournalStore::lastRowId(int64_t& id) {
    Statement last;
    int code = db_.prepare(last, "SELECT coalesce(max(id), 0) FROM journal_row");
    if (code != SQLITE_OK) return code;
    code = last.step();
    if (code != SQLITE_ROW) return code;
    id = last.intAt(0);
    return SQLITE_OK;
}

int JournalStore::forEachUnsaved(int64_t run, const std::function<bool(const StoredRow&)>& each) {
    unsaved_.bind(1, run);
    int code = unsaved_.step();
    while (code == SQLITE_ROW) {
        const StoredRow row{unsaved_.intAt(0),  unsaved_.intAt(1),  unsaved_.intAt(2),
                            unsaved_.blobAt(3), unsaved_.blobAt(4), unsaved_.blobAt(5)};
        if (!each(row)) break;
        code = unsaved_.step();
    }
    unsaved_.reset();
    return code == SQLITE_ROW ? SQLITE_DONE : code;
}

int JournalStore::moveRow(int64_t id, const RowPlace& place) {
    move_.bind(1, id);
    move_.bind(2, place.run);
    move_.bind(3, place.generation);
    move_.bind(4, place.position);
    return move_.run();
}

int JournalStore::discardUnsaved(int64_t run, int64_t nowMs) {
    discard_.bind(1, run);
    discard_.bind(2, nowMs);
    return discard_.run();
}

int JournalStore::insertRow(const RowPlace& place, int64_t probeCount, bool codeColumn, int64_t recordedMs,
                            std::string_view bytes, int64_t limitSet, std::string_view characteristics, int64_t id) {
    insert_.bind(1, place.run);
    insert_.bind(2, place.generation);
    insert_.bind(3, place.position);
    insert_.bind(4, probeCount);
    insert_.bind(5, codeColumn ? 1 : 0);
    insert_.bind(6, recordedMs);
    insert_.bindBlob(7, bytes);
    insert_.bind(8, limitSet);
    insert_.bind(10, id);
    // NULL for none: the rows of a station without characteristics stay as they were.
    if (characteristics.empty())
        insert_.bindNull(9);
    else
        insert_.bindBlob(9, characteristics);
    return insert_.run();
}

int JournalStore::insertLimitSet(std::string_view bytes, int64_t& id) {
    insertLimits_.bindBlob(1, bytes);
    const int code = insertLimits_.run();
    if (code == SQLITE_DONE) id = db_.lastInsertId();
    return code;
}

int JournalStore::replaceRow(const RowPlace& place, std::string_view bytes) {
    replace_.bind(1, place.run);
    replace_.bind(2, place.generation);
    replace_.bind(3, place.position);
    replace_.bindBlob(4, bytes);
    return replace_.run();
}

int JournalStore::shiftRows(const RowPlace& from) {
    shift_.bind(1, from.run);
    shift_.bind(2, from.generation);
    shift_.bind(3, from.position);
    return shift_.run();
}

int JournalStore::applyMarks(const MarkState& marks, int64_t nowMs) {
    const int64_t firstRows[2] = {marks.savedRows, marks.exportedRows};
    for (int kind = 0; kind < 2; ++kind) {
        Statement& earlier = markEarlier_[kind];
        earlier.bind(1, marks.run);
        earlier.bind(2, marks.generation);
        earlier.bind(3, nowMs);
        int code = earlier.run();
        if (code != SQLITE_DONE) return code;
        Statement& first = markFirst_[kind];
        first.bind(1, marks.run);
        first.bind(2, marks.generation);
        first.bind(3, firstRows[kind]);
        first.bind(4, nowMs);
        code = first.run();
        if (code != SQLITE_DONE) return code;
    }
    return SQLITE_DONE;
}

int JournalStore::noteExport(const ExportNote& note, int64_t& id) {
    int code = begin();
    if (code != SQLITE_OK) return code;
    note_.bind(1, note.end.run);
    note_.bind(2, note.end.generation);
    note_.bind(3, note.end.position);
    note_.bindText(4, note.path);
    note_.bind(5, static_cast<int64_t>(note.file.device));
    note_.bind(6, static_cast<int64_t>(note.file.inode));
    note_.bind(7, note.file.size);
    code = note_.run();
    if (code == SQLITE_DONE) code = commit();
    if (code != SQLITE_OK) {
        rollback();
        return code;
    }
    id = db_.lastInsertId();
    return SQLITE_OK;
}

int JournalStore::forgetExport(int64_t id) {
    forget_.bind(1, id);
    return forget_.run();
}

int JournalStore::settleExports(int64_t nowMs, const std::function<bool(const ExportNote&)>& renamed) {
    Statement select;
    int code = db_.prepare(select, "SELECT run, generation, rows, path, device, inode, size FROM export_note");
    if (code != SQLITE_OK) return code;
    std::vector<ExportNote> notes;
    while ((code = select.step()) == SQLITE_ROW) {
        const std::string_view path = select.blobAt(3);
        notes.push_back(
            {{select.intAt(0), select.intAt(1), select.intAt(2)},
             std::string(path),
             {static_cast<uint64_t>(select.intAt(4)), static_cast<uint64_t>(select.intAt(5)), select.intAt(6)}});
    }
    select.reset();
    if (code != SQLITE_DONE) return code;
    Statement& exported = markFirst_[1];
    for (const ExportNote& note : notes) {
        if (!renamed(note)) continue;
        exported.bind(1, note.end.run);
        exported.bind(2, note.end.generation);
        exported.bind(3, note.end.position);
        exported.bind(4, nowMs);
        code = exported.run();
        if (code != SQLITE_DONE) return code;
    }
    return db_.exec("DELETE FROM export_note");
}

}  // namespace gaugemon::journal
