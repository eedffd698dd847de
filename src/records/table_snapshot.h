#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
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

private:
    std::string slots_;
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
    // Writes the lines of every row held at the snapshot; false when the sink failed.
    bool writeRows(RecordFileFormat format, ByteSink& sink) const;

private:
    RowShape shape_;
    uint32_t rowCount_ = 0;
    uint64_t stamp_ = 0;
    std::vector<const char*> chunks_;  // the first row of each chunk
    const CodeSlotCopy* codes_;
};

// Writes files from snapshots on one worker thread, so that polling and
// recording go on during a long write. One write at a time; its result comes
// back through `post`, which must run the given call on the thread that
// started the write.
class SnapshotWriter {
public:
    using Post = std::function<void(std::function<void()>)>;
    using Done = std::function<void(const FileWriteResult&, const TableSnapshot&)>;

    explicit SnapshotWriter(Post post);
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // Starts writing `header` and the table's rows as they stand to `path`
    // (replaced whole, the old file intact on failure). False, and nothing
    // started, while a write is still running.
    bool start(const RecordTable& table, std::string header, RecordFileFormat format, std::string path, Done done);
    bool busy() const { return busy_.load(std::memory_order_acquire); }
    // Waits until the running write, if any, has finished with the file; its
    // result still comes through `post`. Called before the table is cleared
    // or its columns rebuilt.
    void finishWrite();

private:
    struct Job {
        TableSnapshot rows;
        std::string header;
        RecordFileFormat format;
        std::string path;
        Done done;
    };
    void run(Job job);

    Post post_;
    CodeSlotCopy codes_;  // read by the worker while it writes
    std::thread worker_;
    std::atomic<bool> busy_{false};
};

}  // namespace gaugemon::records
