#include "sim/frame_assembler.h"

#include <algorithm>

namespace gaugemon::sim {

void FrameAssembler::add(const uint8_t* bytes, size_t count, int64_t nowUs) {
    if (count == 0) return;
    if (length_ == 0) firstByteUs_ = nowUs;
    lastByteUs_ = nowUs;
    for (size_t i = 0; i < count; ++i) {
        // Past the buffer the length still grows, so the frame stays too long.
        if (length_ < kCapacity) buffer_[length_] = bytes[i];
        ++length_;
    }
}

bool FrameAssembler::take(int64_t nowUs, int64_t gapUs) {
    if (length_ == 0 || nowUs < lastByteUs_ + gapUs) return false;
    frameLength_ = std::min(length_, kCapacity);
    std::copy_n(buffer_.begin(), frameLength_, frame_.begin());
    overflowed_ = length_ > kCapacity;
    frameStartUs_ = firstByteUs_;
    length_ = 0;
    return true;
}

}  // namespace gaugemon::sim
