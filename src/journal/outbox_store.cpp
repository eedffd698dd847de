#include "journal/outbox_store.h"

#include <sqlite3.h>

namespace gaugemon::journal {

namespace {
// Marks wait this long for the writer's batch; the publisher's thread may
// wait, the station's never does.
constexpr int kBusyWaitMs = 1000;
}  // namespace

int OutboxStore::open(const std::string& path) {
    int code = db_.openExisting(path);
    if (code != SQLITE_OK) return code;
    db_.setBusyTimeout(kBusyWaitMs);
    // A mark lost to a power cut only sends its row again, which the broker's
    // consumers take as the duplicate it is: no sync per mark.
    code = db_.exec("PRAGMA synchronous=NORMAL");
    if (code != SQLITE_OK) {
        close();
        return code;
    }
    bool marked = false;
    code = hasColumn(db_, "journal_row", "published_ms", marked);
    if (code == SQLITE_OK && !marked) code = SQLITE_ERROR;  // no journal of ours, or one not yet opened
    if (code == SQLITE_OK)
        code = db_.prepare(unpublished_,
                           "SELECT r.id, r.position, r.probe_count, r.code_column, r.recorded_ms, r.bytes, s.bytes, "
                           "r.characteristics "
                           "FROM journal_row r LEFT JOIN limit_set s ON s.id = r.limit_set "
                           "WHERE r.published_ms IS NULL AND r.id > ?1 ORDER BY r.id LIMIT ?2");
    if (code == SQLITE_OK) code = db_.prepare(mark_, "UPDATE journal_row SET published_ms = ?2 WHERE id = ?1");
    if (code != SQLITE_OK) close();
    return code;
}

int OutboxStore::forEachUnpublished(int64_t afterId, int64_t limit,
                                    const std::function<bool(const OutgoingRow&)>& each) {
    unpublished_.bind(1, afterId);
    unpublished_.bind(2, limit);
    int code = unpublished_.step();
    while (code == SQLITE_ROW) {
        const OutgoingRow row{unpublished_.intAt(0),  unpublished_.intAt(1), unpublished_.intAt(2),
                              unpublished_.intAt(3),  unpublished_.intAt(4), unpublished_.blobAt(5),
                              unpublished_.blobAt(6), unpublished_.blobAt(7)};
        if (!each(row)) break;
        code = unpublished_.step();
    }
    unpublished_.reset();
    return code == SQLITE_ROW ? SQLITE_DONE : code;
}

int OutboxStore::markPublished(std::span<const int64_t> ids, int64_t nowMs) {
    if (ids.empty()) return SQLITE_OK;
    int code = db_.exec("BEGIN IMMEDIATE");
    if (code != SQLITE_OK) return code;
    for (const int64_t id : ids) {
        mark_.bind(1, id);
        mark_.bind(2, nowMs);
        code = mark_.run();
        if (isFailure(code)) {
            db_.exec("ROLLBACK");
            return code;
        }
    }
    code = db_.exec("COMMIT");
    if (code != SQLITE_OK) db_.exec("ROLLBACK");
    return code;
}

int OutboxStore::countUnpublished(int64_t& count) {
    Statement query;
    int code = db_.prepare(query, "SELECT count(*) FROM journal_row WHERE published_ms IS NULL");
    if (code != SQLITE_OK) return code;
    code = query.step();
    if (code != SQLITE_ROW) return code;
    count = query.intAt(0);
    return SQLITE_OK;
}

}  // namespace gaugemon::journal
