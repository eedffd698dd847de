#include "records/byte_sink.h"

#include <cerrno>
#include <cstring>

namespace gaugemon::records {

ByteSink::ByteSink(size_t capacity) : buffer_(std::make_unique_for_overwrite<char[]>(capacity)), capacity_(capacity) {}

ByteSink::~ByteSink() = default;

bool ByteSink::drain() {
    if (error_) return false;
    if (used_ > 0) error_ = writeOut(buffer_.get(), used_);
    used_ = 0;
    return error_ == 0;
}

void ByteSink::write(std::string_view bytes) {
    if (bytes.size() > capacity_) {
        if (drain()) error_ = writeOut(bytes.data(), bytes.size());
        return;
    }
    if (char* p = reserve(bytes.size())) {
        std::memcpy(p, bytes.data(), bytes.size());
        commit(bytes.size());
    }
}

}  // namespace gaugemon::records
