#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "journal/journal_outcome.h"
#include "journal/journal_store.h"
#include "journal/mark_file.h"
#include "records/record_columns.h"

namespace gaugemon::journal {

int64_t wallClockMs();

// The journal's own thread: takes the queued changes in the order they were
// made and writes each batch in one transaction, synced before the next
// batch is taken. The queue keeps its storage, so queuing a row allocates
// nothing once a few rows have passed. After a failed write the writer is
// off: the failure is kept for the caller and later rows are dropped, but the
// marks are not: the latest one is tried again at each new mark and at the
// end, and kept in the mark file while the database cannot take it.
class JournalWriter {
public:
    JournalWriter(std::unique_ptr<JournalStore> store, std::string path, std::unique_ptr<MarkFile> marks);
    ~JournalWriter();  // writes what is queued, then stops
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // `id` is the row's own: its sequence number.
    void append(const RowPlace& place, int64_t id, const records::TableLayout& layout, std::string_view bytes);
    void replace(const RowPlace& place, std::string_view bytes);
    // The rows appended from now on were recorded with these limits (the
    // bytes of a limit set); none when empty.
    void limits(std::string_view bytes);
    // The files hold the rows as `marks` tells.
    void mark(const MarkState& marks);
    // The rows of a table from `from.position` on become the first rows of
    // the next table.
    void shift(const RowPlace& from);
    // The export noted under `noteId` is over; queued after its marks, so
    // that the note goes in their transaction or after it.
    void forgetExport(int64_t noteId);

    // Runs `work` on the store while the thread keeps off it.
    template <class Work>
    auto withStore(Work&& work) {
        std::lock_guard lock(storeMutex_);
        return work(*store_);
    }

    // Called on this thread after each committed batch that added rows.
    void setWrittenListener(std::function<void()> listener);

    bool isOn() const { return on_.load(std::memory_order_acquire); }
    std::optional<Report> takeFailure();
    bool waitWritten();
    uint64_t writtenRows() const { return writtenRows_.load(std::memory_order_acquire); }

private:
    enum class Kind : uint8_t { Append, Replace, Mark, Shift, Limits, Forget };
    struct Change {
        Kind kind = Kind::Append;
        RowPlace place;
        int64_t id = 0;  // Append
        int64_t probeCount = 0;
        bool codeColumn = false;
        int64_t timeMs = 0;  // when recorded or saved
        MarkState marks;     // Mark
        size_t offset = 0;   // of the row's bytes in the queue's bytes
        size_t size = 0;
        size_t characteristicsSize = 0;  // Append: their bytes follow the row's
    };

    // Room for the next change at the end of the queue, with `bytes`
    // copied, or null when the writer is off; the queue lock is held by the
    // caller.
    Change* nextChange(Kind kind, const RowPlace& place, std::string_view bytes = {});
    void queued(std::unique_lock<std::mutex>& lock);
    void run();
    int writeBatch();
    int writeChange(const Change& change, std::string_view bytes, std::string_view characteristics);
    void failWith(int code);
    void tellWritten();
    // Tries the owed mark on the database, else keeps it in the mark file;
    // the queue lock is held and given up meanwhile.
    void settleOwedMark(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<JournalStore> store_;
    int64_t limitSet_ = 0;  // the thread's: the set of the rows appended now, 0 for none
    std::string path_;
    std::mutex storeMutex_;

    std::mutex queueMutex_;
    std::condition_variable wake_;     // the thread waits for changes
    std::condition_variable written_;  // waitWritten waits for the thread
    std::vector<Change> queue_;
    std::string queueBytes_;     // the rows of the queued changes, one after the other
    std::vector<Change> batch_;  // the thread's; swapped with the queue
    std::string batchBytes_;
    uint64_t queuedCount_ = 0;
    uint64_t writtenCount_ = 0;
    bool stopping_ = false;
    std::optional<Report> failure_;
    std::unique_ptr<MarkFile> markFile_;  // the thread's
    std::optional<MarkState> lastMark_;   // the newest mark given, written or not
    std::optional<MarkState> owedMark_;   // not in the database, while the writer is off
    bool owedMarkTried_ = true;           // tried since it last changed
    std::mutex listenerMutex_;
    std::function<void()> writtenListener_;

    std::atomic<bool> on_{true};
    std::atomic<bool> failureWaiting_{false};
    std::atomic<uint64_t> writtenRows_{0};
    std::thread thread_;
};

}  // namespace gaugemon::journal
