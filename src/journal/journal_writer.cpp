#include "journal/journal_writer.h"

#include <sqlite3.h>

#include <chrono>
#include <utility>

namespace gaugemon::journal {

namespace {
constexpr size_t kQueueRoom = 64;
constexpr size_t kQueueRoomBytes = kQueueRoom * 1024;
}  // namespace

int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

JournalWriter::JournalWriter(std::unique_ptr<JournalStore> store, std::string path, std::unique_ptr<MarkFile> marks)
    : store_(std::move(store)), path_(std::move(path)), markFile_(std::move(marks)) {
    queue_.reserve(kQueueRoom);
    batch_.reserve(kQueueRoom);
    queueBytes_.reserve(kQueueRoomBytes);
    batchBytes_.reserve(kQueueRoomBytes);
    thread_ = std::thread([this] { run(); });
}

JournalWriter::~JournalWriter() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

JournalWriter::Change* JournalWriter::nextChange(Kind kind, const RowPlace& place, std::string_view bytes) {
    if (!isOn()) return nullptr;
    Change& change = queue_.emplace_back();
    change.kind = kind;
    change.place = place;
    change.timeMs = wallClockMs();
    change.offset = queueBytes_.size();
    change.size = bytes.size();
    queueBytes_.append(bytes);
    return &change;
}

void JournalWriter::queued(std::unique_lock<std::mutex>& lock) {
    ++queuedCount_;
    lock.unlock();
    wake_.notify_one();
}

void JournalWriter::append(const RowPlace& place, int64_t id, const records::TableLayout& layout,
                           std::string_view bytes) {
    std::unique_lock lock(queueMutex_);
    Change* change = nextChange(Kind::Append, place, bytes);
    if (!change) return;
    change->id = id;
    change->probeCount = layout.probeCount;
    change->codeColumn = layout.codeColumn;
    if (layout.characteristicCount() > 0) {
        const std::string characteristics = records::encodeCharacteristicColumns(layout.characteristics);
        change->characteristicsSize = characteristics.size();
        queueBytes_.append(characteristics);
    }
    queued(lock);
}

void JournalWriter::replace(const RowPlace& place, std::string_view bytes) {
    std::unique_lock lock(queueMutex_);
    if (nextChange(Kind::Replace, place, bytes)) queued(lock);
}

void JournalWriter::limits(std::string_view bytes) {
    std::unique_lock lock(queueMutex_);
    if (nextChange(Kind::Limits, {}, bytes)) queued(lock);
}

void JournalWriter::mark(const MarkState& marks) {
    std::unique_lock lock(queueMutex_);
    lastMark_ = marks;
    Change* change = nextChange(Kind::Mark, {marks.run, marks.generation, 0});
    if (!change) {
        owedMark_ = marks;
        owedMarkTried_ = false;
        lock.unlock();
        wake_.notify_one();
        return;
    }
    change->marks = marks;
    queued(lock);
}

void JournalWriter::shift(const RowPlace& from) {
    std::unique_lock lock(queueMutex_);
    if (nextChange(Kind::Shift, from)) queued(lock);
}

void JournalWriter::forgetExport(int64_t noteId) {
    std::unique_lock lock(queueMutex_);
    if (nextChange(Kind::Forget, {0, 0, noteId})) queued(lock);
}

void JournalWriter::run() {
    std::unique_lock lock(queueMutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty() || !owedMarkTried_; });
        if (!owedMarkTried_) {
            settleOwedMark(lock);
            continue;
        }
        if (queue_.empty()) {
            // Stopping: a last try, the disk may have room again.
            if (owedMark_) settleOwedMark(lock);
            return;
        }
        batch_.swap(queue_);
        batchBytes_.swap(queueBytes_);
        lock.unlock();
        const int code = isOn() ? writeBatch() : SQLITE_OK;
        lock.lock();
        if (code != SQLITE_OK) failWith(code);
        writtenCount_ += batch_.size();
        batch_.clear();
        batchBytes_.clear();
        written_.notify_all();
    }
}

// One transaction for everything queued meanwhile: a slow disk makes the
// batches longer, not the queue.
int JournalWriter::writeBatch() {
    std::lock_guard storeLock(storeMutex_);
    int code = store_->begin();
    if (code != SQLITE_OK) return code;
    uint64_t rows = 0;
    for (const Change& change : batch_) {
        const std::string_view bytes = std::string_view(batchBytes_).substr(change.offset, change.size);
        const std::string_view characteristics =
            std::string_view(batchBytes_).substr(change.offset + change.size, change.characteristicsSize);
        code = writeChange(change, bytes, characteristics);
        if (isFailure(code)) {
            store_->rollback();
            return code;
        }
        if (change.kind == Kind::Append) ++rows;
    }
    code = store_->commit();
    if (code != SQLITE_OK) {
        store_->rollback();
        return code;
    }
    writtenRows_.fetch_add(rows, std::memory_order_release);
    if (rows > 0) tellWritten();
    return SQLITE_OK;
}

int JournalWriter::writeChange(const Change& change, std::string_view bytes, std::string_view characteristics) {
    switch (change.kind) {
        case Kind::Append: {
            const int code = store_->insertRow(change.place, change.probeCount, change.codeColumn, change.timeMs, bytes,
                                               limitSet_, characteristics, change.id);
            // An id some other writer of the file took: the row is kept under
            // the file's next one rather than lost.
            if (code != SQLITE_CONSTRAINT) return code;
            return store_->insertRow(change.place, change.probeCount, change.codeColumn, change.timeMs, bytes,
                                     limitSet_, characteristics);
        }
        case Kind::Limits:
            if (bytes.empty()) {
                limitSet_ = 0;
                return SQLITE_OK;
            }
            return store_->insertLimitSet(bytes, limitSet_);
        case Kind::Replace: return store_->replaceRow(change.place, bytes);
        case Kind::Mark: return store_->applyMarks(change.marks, change.timeMs);
        case Kind::Shift: return store_->shiftRows(change.place);
        case Kind::Forget: return store_->forgetExport(change.place.position);
    }
    return SQLITE_OK;
}

void JournalWriter::setWrittenListener(std::function<void()> listener) {
    std::lock_guard lock(listenerMutex_);
    writtenListener_ = std::move(listener);
}

void JournalWriter::tellWritten() {
    std::lock_guard lock(listenerMutex_);
    if (writtenListener_) writtenListener_();
}

void JournalWriter::failWith(int code) {
    on_.store(false, std::memory_order_release);
    queue_.clear();
    queueBytes_.clear();
    // The failed batch took its marks with it, and marks queued after it go
    // with the queue: the newest one stands for them all.
    if (lastMark_) {
        owedMark_ = lastMark_;
        owedMarkTried_ = false;
    }
    failure_ = Report{code == SQLITE_FULL ? Problem::NoSpace : Problem::WriteFailed, path_, code};
    failureWaiting_.store(true, std::memory_order_release);
}

void JournalWriter::settleOwedMark(std::unique_lock<std::mutex>& lock) {
    const MarkState marks = *owedMark_;
    owedMarkTried_ = true;
    lock.unlock();
    int code = SQLITE_OK;
    {
        std::lock_guard storeLock(storeMutex_);
        code = store_->begin();
        if (code == SQLITE_OK) code = store_->applyMarks(marks, wallClockMs());
        if (!isFailure(code)) code = store_->commit();
        if (isFailure(code)) store_->rollback();
    }
    const bool applied = !isFailure(code);
    if (markFile_) {
        if (applied)
            markFile_->clear();
        else
            markFile_->write(marks);
    }
    lock.lock();
    // A newer mark given meanwhile is tried on its own turn.
    if (applied && owedMark_ == marks) owedMark_.reset();
    written_.notify_all();
}

std::optional<Report> JournalWriter::takeFailure() {
    if (!failureWaiting_.load(std::memory_order_acquire)) return std::nullopt;
    std::lock_guard lock(queueMutex_);
    failureWaiting_.store(false, std::memory_order_release);
    return std::exchange(failure_, std::nullopt);
}

bool JournalWriter::waitWritten() {
    std::unique_lock lock(queueMutex_);
    const uint64_t target = queuedCount_;
    written_.wait(lock, [&] { return (writtenCount_ >= target || !isOn()) && owedMarkTried_; });
    return isOn();
}

}  // namespace gaugemon::journal
