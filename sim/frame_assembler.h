#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace gaugemon::sim {

// Cuts a byte stream into Modbus RTU frames: a frame ends where the line has
// been silent for the frame gap. Bytes beyond the buffer are counted but not
// kept, and the frame is marked as overflowed: too long for any request.
class FrameAssembler {
public:
    static constexpr size_t kCapacity = 512;

    void add(const uint8_t* bytes, size_t count, int64_t nowUs);
    // When the frame being received will be complete if nothing more comes,
    // or -1 when nothing is being received.
    int64_t completesAtUs(int64_t gapUs) const { return length_ == 0 ? -1 : lastByteUs_ + gapUs; }
    // Takes the frame once the gap has passed; false while there is none.
    bool take(int64_t nowUs, int64_t gapUs);

    const uint8_t* frame() const { return frame_.data(); }
    size_t frameLength() const { return frameLength_; }
    int64_t frameStartUs() const { return frameStartUs_; }
    bool frameOverflowed() const { return overflowed_; }

private:
    std::array<uint8_t, kCapacity> buffer_{};
    size_t length_ = 0;
    int64_t firstByteUs_ = 0;
    int64_t lastByteUs_ = 0;
    std::array<uint8_t, kCapacity> frame_{};
    size_t frameLength_ = 0;
    int64_t frameStartUs_ = 0;
    bool overflowed_ = false;
};

}  // namespace gaugemon::sim
