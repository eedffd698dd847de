#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "journal/sqlite_db.h"

namespace gaugemon::journal {

// A recorded row that has not reached the broker yet, as read back; nothing
// in it is trusted.
struct OutgoingRow {
    int64_t id = 0;
    int64_t position = 0;  // the row's index in its table
    int64_t probeCount = 0;
    int64_t codeColumn = 0;
    int64_t recordedMs = 0;
    std::string_view bytes;              // valid until the next row is read
    std::string_view limits{};           // the limits it was recorded with; empty for none
    std::string_view characteristics{};  // as the journal keeps them; empty for none
};

// The publisher's own connection to the journal file: it reads the rows not
// yet published, oldest first, and marks those the broker acknowledged. The
// journal's writer goes on writing meanwhile (WAL lets a reader and a writer
// share the file); the marks are short transactions the writer waits for.
// Results are SQLite's result codes. One thread at a time.
class OutboxStore {
public:
    // Opens the journal file, which must exist: the journal makes it.
    int open(const std::string& path);
    void close() { db_.close(); }
    bool isOpen() const { return db_.isOpen(); }

    // At most `limit` unpublished rows with ids above `afterId`, in id order;
    // `each` returns false to stop.
    int forEachUnpublished(int64_t afterId, int64_t limit, const std::function<bool(const OutgoingRow&)>& each);
    // Marks the rows published, in one transaction.
    int markPublished(std::span<const int64_t> ids, int64_t nowMs);
    // Rows still waiting, for tests and the log.
    int countUnpublished(int64_t& count);

private:
    Database db_;
    Statement unpublished_;
    Statement mark_;
};

}  // namespace gaugemon::journal
