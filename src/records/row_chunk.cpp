#include "records/row_chunk.h"

#include <sys/mman.h>

#include <utility>

namespace gaugemon::records {

RowChunk RowChunk::allocate(size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) return {};
    return {static_cast<char*>(p), bytes};
}

RowChunk::~RowChunk() { release(); }

RowChunk::RowChunk(RowChunk&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

RowChunk& RowChunk::operator=(RowChunk&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void RowChunk::release() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace gaugemon::records
