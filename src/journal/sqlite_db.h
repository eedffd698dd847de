#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace gaugemon::journal {

// One prepared statement of a connection; every run starts from fresh
// bindings. Results are SQLite's result codes.
class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepare(sqlite3* db, std::string_view sql);
    void bind(int index, int64_t value);
    void bindBlob(int index, std::string_view bytes);
    void bindText(int index, std::string_view text);
    void bindNull(int index);
    // SQLITE_ROW while rows come, then SQLITE_DONE or an error.
    int step();
    // Steps to the end; SQLITE_DONE on success.
    int run();
    void reset();

    int64_t intAt(int column) const;
    bool isNullAt(int column) const;
    std::string_view blobAt(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
};

// One connection to one database file.
class Database {
public:
    Database() = default;
    ~Database() { close(); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens or creates the file; SQLITE_OK or an error (the connection is closed again).
    int open(const std::string& path);
    // Opens a file that exists already.
    int openExisting(const std::string& path);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    // Runs statements without results.
    int exec(const char* sql);
    // A one-row, one-column query as text ("wal" for a journal-mode query).
    int queryText(const char* sql, std::string& text);
    int prepare(Statement& statement, std::string_view sql) { return statement.prepare(db_, sql); }
    int64_t lastInsertId() const;
    // How long a statement waits for another connection's write to end
    // before it gives up with SQLITE_BUSY.
    void setBusyTimeout(int ms);
    // Rows the last statement changed.
    int64_t changes() const;

private:
    int openWith(const std::string& path, int flags);

    sqlite3* db_ = nullptr;
};

// Whether `table` has a column named `column`.
int hasColumn(Database& db, std::string_view table, std::string_view column, bool& present);

// A result code that ends a step of work: neither OK, a row nor done.
bool isFailure(int code);
// The file is not a database of ours or is damaged.
bool meansDamaged(int code);

}  // namespace gaugemon::journal
