#include "records/row_chunk.h"

#include <cstring>
#include <new>
#include <utility>

namespace gaugemon::records {

RowChunk RowChunk::allocate(size_t bytes) {
    char* p = new (std::nothrow) char[bytes];
    if (!p) return {};
    // Touched now, so that the appends that fill the block never stop for a
    // page fault.
    std::memset(p, 0, bytes);
    return {p, bytes};
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
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace gaugemon::records
