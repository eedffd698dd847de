#include "journal/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace gaugemon::journal {

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement::Statement(Statement&& other) noexcept : statement_(std::exchange(other.statement_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

int Statement::prepare(sqlite3* db, std::string_view sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement_,
                              nullptr);
}

void Statement::bind(int index, int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void Statement::bindBlob(int index, std::string_view bytes) {
    // SQLITE_STATIC: the bytes outlive the step that reads them.
    sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

void Statement::bindNull(int index) { sqlite3_bind_null(statement_, index); }

void Statement::bindText(int index, std::string_view text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

int Statement::step() { return sqlite3_step(statement_); }

int Statement::run() {
    int code = step();
    while (code == SQLITE_ROW) code = step();
    reset();
    return code;
}

void Statement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int64_t Statement::intAt(int column) const { return sqlite3_column_int64(statement_, column); }

bool Statement::isNullAt(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::string_view Statement::blobAt(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    if (!data || size <= 0) return {};
    return {static_cast<const char*>(data), static_cast<size_t>(size)};
}

namespace {
// Rows are appended at the end of the file and read back in order: the
// pages last written are all a connection goes back to. SQLite's default
// cache (2 MB) would fill with the rows of the first minutes and keep a second
// copy of them beside the table's; this one stays small however many rows
// the journal holds.
constexpr const char* kPageCache = "PRAGMA cache_size=-256";  // KiB
}  // namespace

int Database::open(const std::string& path) { return openWith(path, SQLITE_OPEN_CREATE); }

int Database::openExisting(const std::string& path) { return openWith(path, 0); }

int Database::openWith(const std::string& path, int flags) {
    close();
    int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | flags, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 0);
        code = exec(kPageCache);
    }
    if (code != SQLITE_OK) close();
    return code;
}

void Database::close() {
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

int Database::exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

int Database::queryText(const char* sql, std::string& text) {
    Statement statement;
    int code = statement.prepare(db_, sql);
    if (code != SQLITE_OK) return code;
    code = statement.step();
    if (code != SQLITE_ROW) return code == SQLITE_DONE ? SQLITE_ERROR : code;
    const std::string_view value = statement.blobAt(0);
    text.assign(value.data(), value.size());
    return SQLITE_OK;
}

int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

void Database::setBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

int64_t Database::changes() const { return sqlite3_changes64(db_); }

int hasColumn(Database& db, std::string_view table, std::string_view column, bool& present) {
    present = false;
    Statement info;
    int code = db.prepare(info, "SELECT name FROM pragma_table_info(?1)");
    if (code != SQLITE_OK) return code;
    info.bindText(1, table);
    while ((code = info.step()) == SQLITE_ROW) {
        if (info.blobAt(0) == column) present = true;
    }
    info.reset();
    return code == SQLITE_DONE ? SQLITE_OK : code;
}

bool isFailure(int code) { return code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE; }

bool meansDamaged(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

}  // namespace gaugemon::journal
