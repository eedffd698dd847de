#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "records/atomic_file.h"
#include "records/record_file.h"
#include "records/record_table.h"

namespace gaugemon::records {

// A copy of the code slots of a table, brought up to date before each
// snapshot: after appends only the new rows' slots are copied; after a
// correction of a code, or a clearing, all of them again.
class CodeSlotCopy {
public:
    void catchUp(const RecordTable& table);
    std::string_view slot(uint32_t row) const {
        return {slots_.data() + static_cast<size_t>(row) * kCodeSlotBytes, kCodeSlotBytes};
    }
    // The code as typed, without the '/' put in front of an all-digit one.
    std::string_view code(uint32_t row) const;

private:
    std::string slots_;
    std::string prefixed_;  // one byte a row: 1 when the slot begins with an added '/'
    uint32_t rows_ = 0;
    uint64_t stamp_ = 0;
    uint64_t resetCount_ = 0;
};

// The table as it stood at one moment, for a writer on another thread. Rows
// never move and never change once appended, so the snapshot points at the
// table's own rows; the one field that can still change, the code a
// correction replaces, comes from `codes`, which must not change until the
// write is over. Valid until the table is cleared or its columns are
// rebuilt: whoever does either first waits for the writer.
class TableSnapshot {
public:
    TableSnapshot(const RecordTable& table, CodeSlotCopy& codes);

    uint32_t rowCount() const { return rowCount_; }
    uint64_t stamp() const { return stamp_; }
    const RowShape& shape() const { return shape_; }
    // `r` must be below rowCount(). Its code is not to be read from the view
    // (a correction may be rewriting it): code(r) holds it as it stood.
    RowView row(uint32_t r) const {
        return {chunks_[r / RecordTable::kRowsPerChunk] +
                    static_cast<size_t>(r % RecordTable::kRowsPerChunk) * shape_.stride,
                shape_};
    }
    std::string_view code(uint32_t r) const { return shape_.codeColumn ? codes_->code(r) : std::string_view(); }
    // Writes the lines of every row held at the snapshot; false when the sink failed.
    bool writeRows(RecordFileFormat format, ByteSink& sink) const;

private:
    RowShape shape_;
    uint32_t rowCount_ = 0;
    uint64_t stamp_ = 0;
    std::vector<const char*> chunks_;  // the first row of each chunk
    const CodeSlotCopy* codes_;
};

// What a write on the writer's thread reports and is asked while it runs.
class WriteControl {
public:
    using Post = std::function<void(std::function<void()>)>;
    using Progress = std::function<void(unsigned percent)>;

    WriteControl(uint32_t rowCount, Post post, Progress progress,
                 std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now());
    // `rows` of the snapshot are written. Once the write has run about a
    // second, each further tenth is told on the starting thread.
    void rowsWritten(uint32_t rows) {
        if (rows >= nextTenth_) tellProgress(rows);
    }
    // The operator asked to stop: the write gives up and leaves the previous file.
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }

private:
    void tellProgress(uint32_t rows);

    uint32_t rowCount_;
    uint32_t nextTenth_ = 0;
    std::chrono::steady_clock::time_point started_;
    Post post_;
    Progress progress_;
    std::atomic<bool> stop_{false};
};

// Writes files from snapshots on one worker thread, so that polling and
// recording go on during a long write. One write at a time; its result comes
// back through `post`, which must run the given call on the thread that
// started the write.
class SnapshotWriter {
public:
    using Post = WriteControl::Post;
    using Done = std::function<void(const FileWriteResult&, const TableSnapshot&)>;
    // Writes the whole file from the snapshot (replaced whole, the old file
    // intact on failure); gives up when the control asks it to stop.
    using Write = std::function<FileWriteResult(const TableSnapshot&, WriteControl&)>;

    struct Job {
        Write write;
        Done done;
        WriteControl::Progress progress;  // may be empty
        bool stoppable = false;           // the operator may stop it (a Save, not the backup)
    };

    explicit SnapshotWriter(Post post);
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // Starts writing `header` and the table's rows as they stand to `path`
    // in a record file's format; `beforeRename` runs on the writer's thread
    // as replaceFile says. False, and nothing started, while a write is
    // still running.
    bool start(const RecordTable& table, std::string header, RecordFileFormat format, std::string path, Done done,
               BeforeRename beforeRename = {});
    // Starts any file written from a snapshot of the table as it stands.
    bool start(const RecordTable& table, Job job);
    bool busy() const { return busy_.load(std::memory_order_acquire); }
    // A write the operator may stop is running.
    bool stoppable() const { return busy() && stoppable_; }
    // Asks the running write, if the operator may stop it, to give up; it
    // ends soon, leaving the previous file, and its result tells ECANCELED.
    void stop();
    // Waits until the running write, if any, has finished with the file; its
    // result still comes through `post`. Called before the table is cleared
    // or its columns rebuilt.
    void finishWrite();

private:
    struct Running {
        TableSnapshot rows;
        Job job;
    };
    void run(Running running);

    Post post_;
    CodeSlotCopy codes_;  // read by the worker while it writes
    std::unique_ptr<WriteControl> control_;
    bool stoppable_ = false;
    std::thread worker_;
    std::atomic<bool> busy_{false};
};

}  // namespace gaugemon::records
