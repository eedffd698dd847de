#include "statistics/exact_moments.h"

namespace gaugemon::statistics {

std::optional<double> ExactMoments::mean() const {
    if (count_ == 0) return std::nullopt;
    return static_cast<double>(static_cast<long double>(sum_) / static_cast<long double>(count_));
}

std::optional<double> ExactMoments::sampleVariance() const {
    if (count_ < 2) return std::nullopt;
    const __int128 n = count_;
    // n * sum(x^2) - sum(x)^2 is n^2 times the population variance, exact.
    const __int128 spread = n * sumSquares_ - sum_ * sum_;
    return static_cast<double>(static_cast<long double>(spread) / static_cast<long double>(n * (n - 1)));
}

}  // namespace gaugemon::statistics
