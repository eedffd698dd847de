#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/language.h"
#include "journal/journal_outcome.h"
#include "journal/journal_store.h"
#include "journal/row_sequences.h"
#include "records/atomic_file.h"
#include "records/record_columns.h"
#include "records/record_table.h"

namespace gaugemon::journal {

inline constexpr int kDefaultKeepDays = 30;
inline constexpr const char* kFileName = "journal.db";
inline constexpr const char* kMarkFileName = "journal.marks";

// Rows that earlier runs left in no file, as found at opening.
struct PendingRows {
    uint64_t count = 0;
    // The time stamp of the oldest one as the table shows it.
    std::string firstStamp;
};

enum class RestoreOutcome : uint8_t {
    Restored,      // every row offered is in the table now
    PartRestored,  // rows of another column layout, or beyond a full table, stay offered for the next start
    TableBusy,     // the table holds rows already: nothing restored
    Failed,        // the journal could not be read or written: nothing restored
    Cancelled,     // the operator stopped it: nothing restored
};

struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::Restored;
    uint64_t restored = 0;
    uint64_t left = 0;
};

class JournalWriter;
class MarkFile;
struct RestoreJob;

// Every recorded row of the station, kept in an SQLite file in WAL mode until
// a file of the operator's holds it, so that a killed process or a power cut
// loses no recorded row. The calls come from the station's one thread; the
// rows are written and synced on the journal's own thread, each one as soon
// as it is queued (a few milliseconds), and the caller never waits for the
// disk. A journal that cannot be opened or written is off: every call then
// does nothing, and the problem is told once through takeReport.
class Journal {
public:
    Journal();
    ~Journal();  // what is queued is written first
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens or creates the journal in `directory` (made when missing): saved
    // rows recorded more than `keepDays` before `nowMs` (wall-clock ms since
    // 1970) are deleted, and the rows earlier runs left in no file are
    // counted. A damaged file is moved aside and a new one started.
    Problem open(const std::string& directory, int keepDays = kDefaultKeepDays);
    Problem open(const std::string& directory, int keepDays, int64_t nowMs);
    // Before opening: the rows count as let go only once an export file
    // holds them (markExported), not when a backup does (markSaved): a
    // station that exports its rows gets the rows a failed export held back
    // at its next start, for its next export file.
    void keepRowsUntilExported() { offered_ = Offered::NotExported; }
    bool isOn() const;
    const std::string& filePath() const { return path_; }

    // ---- At start, before the first row of this run --------------------------
    const PendingRows& pending() const { return pending_; }
    // Appends the rows earlier runs left in no file to the empty `table`,
    // built for the layout of the oldest of them, oldest first; from now on
    // they are rows of this run's table. Rows of another layout, or beyond
    // a full table, stay offered for the next start.
    RestoreResult restorePending(records::RecordTable& table, core::Language language);
    // The same in two steps, so that the thread of the table goes on: the
    // rows are read and made rows of this run on a thread of their own, then
    // `ready` is handed to `post` (which runs it on the table's thread), and
    // finishRestore puts them into the table at the cost of a swap. No row
    // may be added to the table meanwhile (a row that is anyway comes after
    // the restored ones). False, and nothing started, when nothing is offered
    // or a restore runs.
    using Post = std::function<void(std::function<void()>)>;
    // `tenth` is called on the restore's thread each time another tenth of
    // the rows offered has been read (1 to 10); it must return at once.
    bool startRestore(const records::RecordTable& table, core::Language language, Post post,
                      std::function<void()> ready, std::function<void(unsigned)> tenth = {});
    bool restoreRunning() const { return restore_ != nullptr; }
    // Rows read so far of those offered, for a progress report.
    uint64_t restoreRowsRead() const;
    // Stops the reading; rows already being made rows of this run are
    // finished. Nothing is lost: what is not restored stays offered.
    void cancelRestore();
    // Waits for the restore's thread and puts its rows into `table`.
    RestoreResult finishRestore(records::RecordTable& table);
    // Stops a restore and waits for its thread, putting nothing anywhere:
    // whatever it read stays offered (the end of the process).
    void abandonRestore();
    // The rows earlier runs left in no file count as saved; they are pruned
    // with the other saved rows.
    void discardPending();

    // ---- While the station runs ------------------------------------------------
    // Queues the table's rows that the journal has not taken yet: after
    // every added row (JournalTableObserver does it).
    void follow(const records::RecordTable& table);
    // Row `row` of the table changed (its code).
    void rowChanged(const records::RecordTable& table, uint32_t row);
    // A file now holds the first `rows` rows of the table; telling the same
    // again costs nothing. Marks are kept also after the journal failed, and
    // applied once the disk has room again (at the latest when it is next
    // opened), so that rows a file holds are never offered again.
    void markSaved(const records::RecordTable& table, uint32_t rows);
    // Before an export file of the first `rows` rows takes the name `path`:
    // the call, for the writer's thread, that notes the file in the journal
    // (synced) between its write and its rename. Should the process die
    // before markExported, the next opening counts the rows exported when
    // the file at `path` is the one noted. Empty while the journal is off.
    records::BeforeRename noteExport(const records::RecordTable& table, uint32_t rows, const std::string& path);
    // An export file, the run's output, now holds the first `rows` rows.
    void markExported(const records::RecordTable& table, uint32_t rows);
    // The export noted did not take its name: its rows stay offered.
    void exportFailed();
    // The table is about to be emptied (its rows still in it): they count
    // as saved, and numbering starts again.
    void tableCleared(const records::RecordTable& table);
    // Lets the first `rows` rows of the table go (an export file holds
    // them) and keeps the later ones, recorded while the file was written,
    // as the first rows of a new table, here and in the file. False when
    // the table could not do it: nothing changed.
    bool dropFirstRows(records::RecordTable& table, uint32_t rows);

    // ---- Row numbers ------------------------------------------------------------
    // Whether the journal numbers the rows: it was opened this run.
    bool numbersRows() const { return writer_ != nullptr; }
    // The sequence number of row `row` of the table: its id in the journal,
    // rising across runs and clearings, kept by a restored row; 0 for a row
    // the journal has not taken yet (one recorded during a restore).
    int64_t sequenceOf(uint32_t row) const { return sequences_.of(row); }
    uint32_t rowsNumbered() const { return sequences_.size(); }

    // A problem not told yet; each one is given once.
    std::optional<Report> takeReport();
    // Blocks until every row queued so far is written and synced; false when
    // the journal is off. For shutting down and for tests.
    bool waitWritten();
    // Rows written and synced since opening.
    uint64_t writtenRows() const;

    // Called on the journal's own thread after each batch that added rows is
    // committed, so that a reader of the file (the outbox) need not poll it.
    // It must return at once. Set before rows are recorded, before or after
    // opening; nothing is called while the journal is off.
    void setWrittenListener(std::function<void()> listener);
    // Rows pruned at opening for their age that had never been published.
    uint64_t prunedUnpublished() const { return prunedUnpublished_; }

private:
    Problem fail(Problem problem, int code, std::string path);
    Problem openFile(int64_t nowMs, int keepDays);
    void countPending();
    void queueAppend(const records::RecordTable& table, uint32_t row);
    void startNewTable();
    // Marks the first `rows` held as saved, and as exported too when `exported`.
    void mark(const records::RecordTable& table, uint32_t rows, bool exported);
    void forgetNotedExport();
    int applyKeptMarks(JournalStore& store, MarkFile& file, int64_t nowMs);
    int settleExports(JournalStore& store, int64_t nowMs);
    void gatherPending(RestoreJob& job);
    int appendPending(JournalStore& store, RestoreJob& job);
    int moveIntoThisRun(JournalStore& store, const RestoreJob& job);
    RestoreResult adoptRestored(records::RecordTable& table, RestoreJob& job);
    void handBack(const RestoreJob& job);

    std::unique_ptr<JournalWriter> writer_;
    std::string directory_;
    std::string path_;
    int lockFd_ = -1;
    Report openReport_;
    bool openReportTaken_ = true;
    PendingRows pending_;
    int64_t run_ = 0;
    int64_t generation_ = 0;  // the table's clearings this run
    uint32_t taken_ = 0;      // rows of the table queued so far
    MarkState marks_;         // how far files hold the rows of this run
    RowSequences sequences_;  // of the rows taken
    int64_t nextSequence_ = 1;
    Offered offered_ = Offered::InNoFile;
    bool restoring_ = false;  // the rows the table takes now are in the journal already
    bool dropping_ = false;   // the table's reset is a drop of its first rows
    uint64_t prunedUnpublished_ = 0;
    std::function<void()> writtenListener_;
    std::unique_ptr<RestoreJob> restore_;
    // The limits of the rows queued last.
    records::LimitSetBytes limits_{};
    size_t limitsSize_ = 0;
    bool limitsQueued_ = false;
    // The export noted by the writer's thread and not yet marked; 0 for none.
    std::atomic<int64_t> notedExport_{0};
};

}  // namespace gaugemon::journal
