#pragma once
#include <cstddef>

namespace gaugemon::records {

// One block of rows of the record table. Its pages are committed all at once
// when the block is made, so the appends that fill it never stop for a page
// fault, and nothing is committed before the first row of the block arrives.
class RowChunk {
public:
    RowChunk() = default;
    // An empty chunk (data() == nullptr) when the memory is not to be had.
    static RowChunk allocate(size_t bytes);
    ~RowChunk();
    RowChunk(RowChunk&& other) noexcept;
    RowChunk& operator=(RowChunk&& other) noexcept;
    RowChunk(const RowChunk&) = delete;
    RowChunk& operator=(const RowChunk&) = delete;

    char* data() const { return data_; }
    size_t size() const { return size_; }

private:
    RowChunk(char* data, size_t size) : data_(data), size_(size) {}
    void release();

    char* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace gaugemon::records
