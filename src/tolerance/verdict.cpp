#include "tolerance/verdict.h"

#include <algorithm>

namespace gaugemon::tolerance {

void Verdict::judge(std::span<const link::ChannelReading> readings, const ToleranceTable& limits) {
    count_ = static_cast<unsigned>(std::min<size_t>(readings.size(), link::kMaxProbes));
    anyNg_ = false;
    for (unsigned i = 0; i < count_; ++i) {
        probes_[i] = limits.judgeProbe(i + 1, readings[i]);
        anyNg_ = anyNg_ || probes_[i] == Judgement::Ng;
    }
}

}  // namespace gaugemon::tolerance
