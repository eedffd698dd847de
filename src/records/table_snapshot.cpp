#include "records/table_snapshot.h"

#include <cstring>
#include <memory>

#include "records/thread_priority.h"

namespace gaugemon::records {

void CodeSlotCopy::catchUp(const RecordTable& table) {
    if (!table.shape().codeColumn) {
        rows_ = 0;
        slots_.clear();
        return;
    }
    // Every append and every correction counts once in the stamp: when the
    // new rows account for all of it, the slots copied before still hold.
    const bool onlyAppended = resetCount_ == table.resetCount() && rows_ <= table.rowCount() &&
                              table.changeStamp() - stamp_ == table.rowCount() - rows_;
    if (!onlyAppended) rows_ = 0;
    // Room for a full table once: growing never moves the copy.
    if (slots_.capacity() < static_cast<size_t>(kMaxRows) * kCodeSlotBytes) {
        slots_.reserve(static_cast<size_t>(kMaxRows) * kCodeSlotBytes);
    }
    slots_.resize(static_cast<size_t>(table.rowCount()) * kCodeSlotBytes);
    for (uint32_t r = rows_; r < table.rowCount(); ++r) {
        std::memcpy(slots_.data() + static_cast<size_t>(r) * kCodeSlotBytes, table.row(r).codeSlot().data(),
                    kCodeSlotBytes);
    }
    rows_ = table.rowCount();
    stamp_ = table.changeStamp();
    resetCount_ = table.resetCount();
}

TableSnapshot::TableSnapshot(const RecordTable& table, CodeSlotCopy& codes)
    : shape_(table.shape()), rowCount_(table.rowCount()), stamp_(table.changeStamp()), codes_(&codes) {
    chunks_.reserve((rowCount_ + RecordTable::kRowsPerChunk - 1) / RecordTable::kRowsPerChunk);
    for (uint32_t r = 0; r < rowCount_; r += RecordTable::kRowsPerChunk) chunks_.push_back(table.row(r).bytes().data());
    codes.catchUp(table);
}

bool TableSnapshot::writeRows(RecordFileFormat format, ByteSink& sink) const {
    const size_t line = lineBytes(shape_, format);
    for (uint32_t r = 0; r < rowCount_; ++r) {
        char* p = sink.reserve(line);
        if (!p) return false;
        const char* bytes = chunks_[r / RecordTable::kRowsPerChunk] +
                            static_cast<size_t>(r % RecordTable::kRowsPerChunk) * shape_.stride;
        const std::string_view code = shape_.codeColumn ? codes_->slot(r) : std::string_view();
        putLine(p, r, RowView(bytes, shape_), code, shape_, format);
        sink.commit(line);
    }
    return !sink.failed();
}

SnapshotWriter::SnapshotWriter(Post post) : post_(std::move(post)) {}

SnapshotWriter::~SnapshotWriter() { finishWrite(); }

bool SnapshotWriter::start(const RecordTable& table, std::string header, RecordFileFormat format, std::string path,
                           Done done) {
    if (busy()) return false;
    // The previous worker has finished its file; only its thread remains.
    if (worker_.joinable()) worker_.join();
    busy_.store(true, std::memory_order_release);
    Job job{TableSnapshot(table, codes_), std::move(header), format, std::move(path), std::move(done)};
    worker_ = std::thread([this, job = std::move(job)]() mutable { run(std::move(job)); });
    return true;
}

void SnapshotWriter::run(Job job) {
    yieldToOtherThreads();
    const FileWriteResult result = replaceFile(job.path, [&job](ByteSink& sink) {
        sink.write(job.header);
        return job.rows.writeRows(job.format, sink);
    });
    // The snapshot goes with the result, for the stamp and the row count the file holds.
    auto shared = std::make_shared<Job>(std::move(job));
    busy_.store(false, std::memory_order_release);
    post_([shared, result] { shared->done(result, shared->rows); });
}

void SnapshotWriter::finishWrite() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace gaugemon::records
