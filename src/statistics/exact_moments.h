#pragma once
#include <cstdint>
#include <optional>

namespace gaugemon::statistics {

// Count, sum and sum of squares of integer lengths, kept exactly, so that
// readings can leave a window as easily as they enter it and the variance of
// large values close together (a long run near 10 mm) loses nothing to
// cancellation. Values up to 2^31 in magnitude and fewer than 2^32 of them
// keep n * sum of squares inside 128 bits.
class ExactMoments {
public:
    void add(int64_t value) {
        ++count_;
        sum_ += value;
        sumSquares_ += static_cast<__int128>(value) * value;
    }
    void remove(int64_t value) {
        --count_;
        sum_ -= value;
        sumSquares_ -= static_cast<__int128>(value) * value;
    }
    void clear() { *this = {}; }

    uint64_t count() const { return count_; }
    // None without values.
    std::optional<double> mean() const;
    // The sample variance (n - 1 in the denominator); none below two values.
    std::optional<double> sampleVariance() const;

private:
    uint64_t count_ = 0;
    __int128 sum_ = 0;
    __int128 sumSquares_ = 0;
};

}  // namespace gaugemon::statistics
