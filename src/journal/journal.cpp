#include "journal/journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "journal/journal_writer.h"
#include "journal/mark_file.h"
#include "records/thread_priority.h"

namespace gaugemon::journal {

namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr const char* kLockName = "journal.lock";
// SQLite keeps the newest commits of a WAL database beside it under these names.
constexpr const char* kCompanionSuffixes[] = {"-wal", "-shm"};

// Holds the directory for this process: a second station on the same
// account would take the live rows of this one for rows of an ended run.
// The lock goes with the process, however it ends.
int lockDirectory(const std::string& directory, int& error) {
    const std::string path = directory + "/" + kLockName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string timeSuffix(int64_t nowMs) {
    const std::time_t seconds = static_cast<std::time_t>(nowMs / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL) return false;
    // A file system without that rename: a second name never replaces a
    // file either, and the first one goes only once the second exists.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

// Moves a damaged journal and its companions aside under a name with the
// time in it ("journal-20261208-052632.db", its log beside it under the name
// SQLite looks for), never over an existing file. The new name, or empty
// when the journal itself could not be moved.
std::string moveAside(const std::string& directory, int64_t nowMs) {
    const std::string from = directory + "/" + kFileName;
    const std::string stem = directory + "/journal-" + timeSuffix(nowMs);
    for (int attempt = 1; attempt < 100; ++attempt) {
        std::string to = stem + (attempt > 1 ? "-" + std::to_string(attempt) : std::string()) + ".db";
        if (!renameNoReplace(from, to)) {
            if (errno == EEXIST) continue;
            return {};
        }
        for (const char* suffix : kCompanionSuffixes) renameNoReplace(from + suffix, to + suffix);
        return to;
    }
    return {};
}

Problem problemFor(int code) {
    if (code == SQLITE_FULL) return Problem::NoSpace;
    if (meansDamaged(code)) return Problem::Damaged;
    return Problem::CannotOpen;
}

}  // namespace

// One restore: its rows are gathered in a table of its own on its thread.
struct RestoreJob {
    core::Language language = core::Language::Chinese;
    int64_t generation = 0;
    records::RecordTable rows;
    std::vector<int64_t> moved;
    records::ValueLimitsTable limits{};  // of the row being read
    uint64_t left = 0;
    int code = SQLITE_OK;
    bool movedIn = false;  // the rows are this run's in the file
    std::atomic<uint64_t> read{0};
    std::atomic<bool> cancelled{false};
    std::function<void(unsigned)> tenth;
    std::thread thread;
};

Journal::Journal() = default;

Journal::~Journal() {
    abandonRestore();
    writer_.reset();
    if (lockFd_ >= 0) ::close(lockFd_);
}

bool Journal::isOn() const { return writer_ && writer_->isOn(); }

Problem Journal::fail(Problem problem, int code, std::string path) {
    openReport_ = Report{problem, std::move(path), code};
    openReportTaken_ = false;
    return problem;
}

Problem Journal::open(const std::string& directory, int keepDays) { return open(directory, keepDays, wallClockMs()); }

Problem Journal::open(const std::string& directory, int keepDays, int64_t nowMs) {
    if (writer_ || lockFd_ >= 0) return Problem::None;
    directory_ = directory;
    path_ = directory + "/" + kFileName;
    if (directory.empty()) return fail(Problem::CannotOpen, ENOENT, path_);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return fail(Problem::CannotOpen, error.value(), path_);
    int lockError = 0;
    lockFd_ = lockDirectory(directory, lockError);
    if (lockFd_ < 0) return fail(lockError == EWOULDBLOCK ? Problem::InUse : Problem::CannotOpen, lockError, path_);

    Problem problem = openFile(nowMs, keepDays);
    if (problem == Problem::Damaged) {
        const std::string aside = moveAside(directory, nowMs);
        if (aside.empty()) {
            problem = fail(Problem::Damaged, errno, path_);
        } else {
            problem = openFile(nowMs, keepDays);
            if (problem == Problem::None)
                problem = fail(Problem::MovedAside, 0, aside);
            else if (problem == Problem::Damaged)
                problem = fail(Problem::Damaged, 0, path_);
        }
    }
    if (!writer_) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
    return problem;
}

// Opens the file, prunes, starts a run and counts what earlier runs left.
Problem Journal::openFile(int64_t nowMs, int keepDays) {
    auto store = std::make_unique<JournalStore>();
    int code = store->open(path_, offered_);
    auto markFile = std::make_unique<MarkFile>();
    if (code == SQLITE_OK) code = applyKeptMarks(*store, *markFile, nowMs);
    if (code == SQLITE_OK) code = settleExports(*store, nowMs);
    int64_t unpublished = 0;
    if (code == SQLITE_OK)
        code = store->pruneSaved(nowMs - static_cast<int64_t>(std::max(keepDays, 0)) * kMsPerDay, unpublished);
    prunedUnpublished_ = code == SQLITE_OK ? static_cast<uint64_t>(unpublished) : 0;
    if (code == SQLITE_OK) code = store->beginRun(nowMs, run_);
    int64_t lastSequence = 0;
    if (code == SQLITE_OK) code = store->lastRowId(lastSequence);
    if (code != SQLITE_OK) {
        store->close();
        const Problem problem = problemFor(code);
        // A damaged file is moved aside by the caller and reported then.
        return problem == Problem::Damaged ? problem : fail(problem, code, path_);
    }
    marks_ = {run_, 0, 0, 0};
    nextSequence_ = lastSequence + 1;
    sequences_.clear();
    writer_ = std::make_unique<JournalWriter>(std::move(store), path_, std::move(markFile));
    limitsQueued_ = false;
    if (writtenListener_) writer_->setWrittenListener(writtenListener_);
    countPending();
    return Problem::None;
}

// Marks an earlier run could not write into a full disk count before
// anything is offered; the file is emptied only once they are in.
int Journal::applyKeptMarks(JournalStore& store, MarkFile& file, int64_t nowMs) {
    if (!file.open(directory_ + "/" + kMarkFileName)) return SQLITE_OK;
    const std::optional<MarkState> kept = file.read();
    if (!kept) return SQLITE_OK;
    int code = store.begin();
    if (code == SQLITE_OK) code = store.applyMarks(*kept, nowMs);
    if (!isFailure(code)) code = store.commit();
    if (isFailure(code)) {
        store.rollback();
        return code;
    }
    file.clear();
    return SQLITE_OK;
}

// An export the last run noted and did not mark: its rows are exported
// when the file at its name is the one it wrote, renamed in place before the
// process died; else the rename never came and they stay offered.
int Journal::settleExports(JournalStore& store, int64_t nowMs) {
    int code = store.begin();
    if (code != SQLITE_OK) return code;
    code = store.settleExports(nowMs, [](const ExportNote& note) {
        const std::optional<records::FileIdentity> file = records::fileIdentity(note.path);
        return file && *file == note.file;
    });
    if (!isFailure(code)) code = store.commit();
    if (isFailure(code)) {
        store.rollback();
        return code;
    }
    return SQLITE_OK;
}

namespace {

// The row as stored by a table of its layout; anything else was not
// written by us and is never put into a table.
bool rowFits(const StoredRow& row, records::TableLayout& layout) {
    if (row.probeCount < 1 || row.probeCount > static_cast<int64_t>(measure::kMaxProbes)) return false;
    if (row.codeColumn != 0 && row.codeColumn != 1) return false;
    layout.probeCount = static_cast<unsigned>(row.probeCount);
    layout.codeColumn = row.codeColumn == 1;
    if (!records::decodeCharacteristicColumns(row.characteristics, layout.characteristics)) return false;
    return row.bytes.size() == records::RowShape::of(layout).stride;
}

// The time stamp of a stored row, printable whatever the file holds.
std::string stampOf(const StoredRow& row, const records::TableLayout& layout) {
    const records::RowShape shape = records::RowShape::of(layout);
    std::string stamp(records::stampText(records::RowView(row.bytes.data(), shape).timeStamp()));
    for (char& c : stamp)
        if (c < 0x20 || c > 0x7e) c = '?';
    return stamp;
}

}  // namespace

void Journal::countPending() {
    pending_ = {};
    const int code = writer_->withStore([this](JournalStore& store) {
        return store.forEachUnsaved(run_, [this](const StoredRow& row) {
            records::TableLayout layout;
            if (!rowFits(row, layout)) return true;
            if (pending_.count++ == 0) pending_.firstStamp = stampOf(row, layout);
            return true;
        });
    });
    if (isFailure(code)) pending_ = {};
}

RestoreResult Journal::restorePending(records::RecordTable& table, core::Language language) {
    if (!isOn() || pending_.count == 0) return {};
    // Restored rows come first, into an empty table.
    if (table.rowCount() > 0) return {RestoreOutcome::TableBusy, 0, pending_.count};
    if (!startRestore(table, language, {}, {})) return {};
    return finishRestore(table);
}

bool Journal::startRestore(const records::RecordTable& table, core::Language language, Post post,
                           std::function<void()> ready, std::function<void(unsigned)> tenth) {
    if (!isOn() || pending_.count == 0 || restore_ || table.rowCount() > 0) return false;
    follow(table);
    // Rows recorded meanwhile are taken after the restored ones.
    restoring_ = true;
    restore_ = std::make_unique<RestoreJob>();
    restore_->language = language;
    restore_->generation = generation_;
    restore_->tenth = std::move(tenth);
    restore_->thread = std::thread([this, job = restore_.get(), post = std::move(post), ready = std::move(ready)] {
        // Seconds of reading give way to the station's thread.
        records::yieldToOtherThreads();
        gatherPending(*job);
        if (post && ready) post(ready);
    });
    return true;
}

uint64_t Journal::restoreRowsRead() const { return restore_ ? restore_->read.load(std::memory_order_relaxed) : 0; }

void Journal::cancelRestore() {
    if (restore_) restore_->cancelled.store(true, std::memory_order_relaxed);
}

void Journal::abandonRestore() {
    if (!restore_) return;
    cancelRestore();
    restore_->thread.join();
    // Rows already made this run's are rows of a run that ends unsaved.
    restore_.reset();
    restoring_ = false;
}

void Journal::gatherPending(RestoreJob& job) {
    job.code = writer_->withStore([&](JournalStore& store) {
        const int readCode = appendPending(store, job);
        if (isFailure(readCode) || job.cancelled.load(std::memory_order_relaxed)) return readCode;
        const int moveCode = moveIntoThisRun(store, job);
        job.movedIn = !isFailure(moveCode);
        return moveCode;
    });
}

RestoreResult Journal::finishRestore(records::RecordTable& table) {
    if (!restore_) return {};
    restore_->thread.join();
    const std::unique_ptr<RestoreJob> job = std::move(restore_);
    RestoreResult result{RestoreOutcome::Failed, 0, pending_.count};
    if (job->movedIn)
        result = adoptRestored(table, *job);
    else if (!isFailure(job->code))
        result.outcome = RestoreOutcome::Cancelled;
    restoring_ = false;
    follow(table);
    return result;
}

// The restored rows become the table's first; rows recorded meanwhile, not
// taken by the journal yet, follow them.
RestoreResult Journal::adoptRestored(records::RecordTable& table, RestoreJob& job) {
    const uint64_t restored = job.moved.size();
    bool adopted = false;
    if (generation_ == job.generation && table.rowCount() == 0) {
        adopted = table.adoptRows(job.rows);
    } else if (generation_ == job.generation && table.layout().sameRowShape(job.rows.layout())) {
        adopted = true;
        for (uint32_t r = 0; r < table.rowCount() && adopted; ++r)
            adopted = job.rows.appendRowBytes(table.row(r).bytes(), table.limitSet(table.row(r).limitSet())) ==
                      records::AppendResult::Added;
        if (adopted) {
            table.clearTable();
            adopted = table.adoptRows(job.rows);
        }
    }
    if (!adopted) {
        handBack(job);
        return {RestoreOutcome::TableBusy, 0, pending_.count};
    }
    taken_ = static_cast<uint32_t>(restored);
    sequences_.clear();
    for (const int64_t id : job.moved) sequences_.append(id);
    pending_ = {};
    return {job.left > 0 ? RestoreOutcome::PartRestored : RestoreOutcome::Restored, restored, job.left};
}

// Rows made this run's that the table could not take go back among the rows
// of ended runs, under a place no table of this run uses, and stay offered.
void Journal::handBack(const RestoreJob& job) {
    writer_->withStore([&](JournalStore& store) {
        int code = store.begin();
        for (size_t k = 0; k < job.moved.size() && !isFailure(code); ++k)
            code = store.moveRow(job.moved[k], {0, run_, static_cast<int64_t>(k)});
        if (!isFailure(code)) code = store.commit();
        if (isFailure(code)) store.rollback();
        return code;
    });
}

// Appends the offered rows of the oldest one's layout to the job's table,
// noting their ids; counts those left.
int Journal::appendPending(JournalStore& store, RestoreJob& job) {
    records::TableLayout wanted;
    const uint64_t offered = std::max<uint64_t>(pending_.count, 1);
    return store.forEachUnsaved(run_, [&](const StoredRow& row) {
        if (job.cancelled.load(std::memory_order_relaxed)) return false;
        const uint64_t read = job.read.fetch_add(1, std::memory_order_relaxed) + 1;
        const uint64_t tenths = std::min<uint64_t>(read * 10 / offered, 10);
        if (job.tenth && tenths > (read - 1) * 10 / offered) job.tenth(static_cast<unsigned>(tenths));
        records::TableLayout layout;
        if (!rowFits(row, layout)) return true;
        if (!wanted.hasColumns()) {
            wanted = {layout.probeCount, layout.codeColumn, job.language, layout.characteristics};
            job.rows.prepareColumns(wanted);
        }
        const auto limits = records::decodeLimitSet(row.limits, records::RowShape::of(layout).valueCount(), job.limits);
        if (layout.sameRowShape(wanted) && job.rows.appendRowBytes(row.bytes, limits) == records::AppendResult::Added)
            job.moved.push_back(row.id);
        else
            ++job.left;
        return true;
    });
}

// The rows become rows of this run's table in one transaction: a crash
// before it leaves them offered again, never twice.
int Journal::moveIntoThisRun(JournalStore& store, const RestoreJob& job) {
    int code = store.begin();
    for (size_t k = 0; k < job.moved.size() && !isFailure(code); ++k)
        code = store.moveRow(job.moved[k], {run_, job.generation, static_cast<int64_t>(k)});
    if (!isFailure(code)) code = store.commit();
    if (isFailure(code)) store.rollback();
    return code;
}

void Journal::discardPending() {
    if (!isOn()) return;
    writer_->withStore([this](JournalStore& store) { return store.discardUnsaved(run_, wallClockMs()); });
    pending_ = {};
}

void Journal::follow(const records::RecordTable& table) {
    // Rows are still counted after a failure: the marks of later files
    // name them by their place.
    if (!writer_ || restoring_) return;
    // Fewer rows than taken: the table was emptied unannounced.
    if (table.rowCount() < taken_) startNewTable();
    while (taken_ < table.rowCount()) queueAppend(table, taken_++);
}

void Journal::queueAppend(const records::RecordTable& table, uint32_t row) {
    const records::RowView view = table.row(row);
    // A limit set is kept once, when the limits differ from the last row's.
    records::LimitSetBytes limits;
    const size_t size = records::encodeLimitSet(table.limitSet(view.limitSet()), limits);
    if (!limitsQueued_ || size != limitsSize_ || !std::equal(limits.begin(), limits.begin() + size, limits_.begin())) {
        writer_->limits({limits.data(), size});
        limits_ = limits;
        limitsSize_ = size;
        limitsQueued_ = true;
    }
    const int64_t sequence = nextSequence_++;
    sequences_.append(sequence);
    writer_->append({run_, generation_, row}, sequence, table.layout(), view.bytes());
}

void Journal::rowChanged(const records::RecordTable& table, uint32_t row) {
    if (!writer_ || row >= table.rowCount()) return;
    follow(table);
    writer_->replace({run_, generation_, row}, table.row(row).bytes());
    marks_.savedRows = std::min<int64_t>(marks_.savedRows, row);
    marks_.exportedRows = std::min<int64_t>(marks_.exportedRows, row);
}

void Journal::markSaved(const records::RecordTable& table, uint32_t rows) {
    mark(table, rows, offered_ == Offered::InNoFile);
}

records::BeforeRename Journal::noteExport(const records::RecordTable& table, uint32_t rows, const std::string& path) {
    if (!isOn()) return {};
    follow(table);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    ExportNote note{{run_, generation_, std::min(rows, taken_)}, error ? path : absolute.string(), {}};
    return [this, note = std::move(note)](const records::FileIdentity& file) mutable {
        note.file = file;
        int64_t id = 0;
        const int code = writer_->withStore([&](JournalStore& store) { return store.noteExport(note, id); });
        // Without the note the file must not take its name: a death right
        // after it would offer its rows again for another file.
        if (isFailure(code)) return code == SQLITE_FULL ? ENOSPC : EIO;
        notedExport_.store(id, std::memory_order_release);
        return 0;
    };
}

void Journal::markExported(const records::RecordTable& table, uint32_t rows) {
    mark(table, rows, true);
    forgetNotedExport();
}

void Journal::exportFailed() { forgetNotedExport(); }

void Journal::forgetNotedExport() {
    const int64_t id = notedExport_.exchange(0, std::memory_order_acq_rel);
    if (id != 0 && writer_) writer_->forgetExport(id);
}

void Journal::mark(const records::RecordTable& table, uint32_t rows, bool exported) {
    if (!writer_) return;
    follow(table);
    const int64_t held = std::min(rows, taken_);
    const MarkState before = marks_;
    marks_.savedRows = std::max(marks_.savedRows, held);
    if (exported) marks_.exportedRows = std::max(marks_.exportedRows, held);
    if (marks_ != before) writer_->mark(marks_);
}

void Journal::tableCleared(const records::RecordTable& table) {
    // A restore merging the rows recorded meanwhile empties the table, and
    // a drop of the first rows resets it.
    if (!writer_ || restoring_ || dropping_) return;
    follow(table);
    startNewTable();
}

bool Journal::dropFirstRows(records::RecordTable& table, uint32_t rows) {
    if (rows >= table.rowCount()) {
        table.clearTable();
        return true;
    }
    follow(table);
    dropping_ = true;
    const bool dropped = table.dropFirstRows(rows);
    dropping_ = false;
    if (!dropped || !writer_) return dropped;
    // The rows kept go to the start of the next table; those left behind go with the old one.
    writer_->shift({run_, generation_, rows});
    ++generation_;
    taken_ -= std::min(rows, taken_);
    sequences_.dropFirst(rows);
    marks_ = {run_, generation_, 0, 0};
    writer_->mark(marks_);
    return true;
}

void Journal::startNewTable() {
    // The rows of the table that goes are let go, whether a file holds them or not.
    ++generation_;
    taken_ = 0;
    sequences_.clear();
    marks_ = {run_, generation_, 0, 0};
    writer_->mark(marks_);
}

std::optional<Report> Journal::takeReport() {
    if (!openReportTaken_) {
        openReportTaken_ = true;
        return openReport_;
    }
    if (writer_) return writer_->takeFailure();
    return std::nullopt;
}

void Journal::setWrittenListener(std::function<void()> listener) {
    writtenListener_ = std::move(listener);
    if (writer_) writer_->setWrittenListener(writtenListener_);
}

bool Journal::waitWritten() { return writer_ && writer_->waitWritten(); }

uint64_t Journal::writtenRows() const { return writer_ ? writer_->writtenRows() : 0; }

}  // namespace gaugemon::journal
