#include "records/table_snapshot.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "records/thread_priority.h"

namespace gaugemon::records {

void CodeSlotCopy::catchUp(const RecordTable& table) {
    if (!table.shape().codeColumn) {
        rows_ = 0;
        slots_.clear();
        prefixed_.clear();
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
        prefixed_.reserve(kMaxRows);
    }
    slots_.resize(static_cast<size_t>(table.rowCount()) * kCodeSlotBytes);
    prefixed_.resize(table.rowCount());
    for (uint32_t r = rows_; r < table.rowCount(); ++r) {
        const RowView row = table.row(r);
        std::memcpy(slots_.data() + static_cast<size_t>(r) * kCodeSlotBytes, row.codeSlot().data(), kCodeSlotBytes);
        prefixed_[r] = row.code().data() != row.codeSlot().data() ? 1 : 0;
    }
    rows_ = table.rowCount();
    stamp_ = table.changeStamp();
    resetCount_ = table.resetCount();
}

std::string_view CodeSlotCopy::code(uint32_t row) const {
    const std::string_view stored = slot(row);
    const size_t skip = prefixed_[row] ? 1 : 0;
    return {stored.data() + skip, ::strnlen(stored.data() + skip, kCodeSlotBytes - skip)};
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

WriteControl::WriteControl(uint32_t rowCount, Post post, Progress progress,
                           std::chrono::steady_clock::time_point started)
    : rowCount_(rowCount), started_(started), post_(std::move(post)), progress_(std::move(progress)) {
    nextTenth_ = progress_ ? 0 : UINT32_MAX;
}

void WriteControl::tellProgress(uint32_t rows) {
    // The tenth reached, and the row count that reaches the next one.
    const uint64_t tenth = rowCount_ == 0 ? 10 : std::min<uint64_t>(uint64_t{rows} * 10 / rowCount_, 10);
    nextTenth_ = tenth >= 10 ? UINT32_MAX : static_cast<uint32_t>((uint64_t{rowCount_} * (tenth + 1) + 9) / 10);
    // A short write tells nothing: its message follows at once.
    if (tenth == 0 || std::chrono::steady_clock::now() - started_ < std::chrono::seconds(1)) return;
    post_([progress = progress_, percent = static_cast<unsigned>(tenth * 10)] { progress(percent); });
}

SnapshotWriter::SnapshotWriter(Post post) : post_(std::move(post)) {}

SnapshotWriter::~SnapshotWriter() { finishWrite(); }

bool SnapshotWriter::start(const RecordTable& table, std::string header, RecordFileFormat format, std::string path,
                           Done done, BeforeRename beforeRename) {
    Job job;
    job.write = [header = std::move(header), format, path = std::move(path), beforeRename = std::move(beforeRename)](
                    const TableSnapshot& rows, WriteControl&) {
        return replaceFile(
            path,
            [&](ByteSink& sink) {
                sink.write(header);
                return rows.writeRows(format, sink);
            },
            beforeRename);
    };
    job.done = std::move(done);
    return start(table, std::move(job));
}

bool SnapshotWriter::start(const RecordTable& table, Job job) {
    if (busy()) return false;
    // The previous worker has finished its file; only its thread remains.
    if (worker_.joinable()) worker_.join();
    busy_.store(true, std::memory_order_release);
    stoppable_ = job.stoppable;
    Running running{TableSnapshot(table, codes_), std::move(job)};
    control_ = std::make_unique<WriteControl>(running.rows.rowCount(), post_, running.job.progress);
    worker_ = std::thread([this, running = std::move(running)]() mutable { run(std::move(running)); });
    return true;
}

void SnapshotWriter::run(Running running) {
    yieldToOtherThreads();
    FileWriteResult result = running.job.write(running.rows, *control_);
    if (!result.ok && control_->stopRequested()) result.error = ECANCELED;
    // The snapshot goes with the result, for the stamp and the row count the file holds.
    auto shared = std::make_shared<Running>(std::move(running));
    busy_.store(false, std::memory_order_release);
    post_([shared, result] { shared->job.done(result, shared->rows); });
}

void SnapshotWriter::stop() {
    if (stoppable()) control_->requestStop();
}

void SnapshotWriter::finishWrite() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace gaugemon::records
