#pragma once
#include <array>
#include <span>

#include "link/link_state.h"
#include "tolerance/tolerance_judgement.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::tolerance {

// The OK/NG verdict of one set of readings: each probe against its limits and
// the whole set, NG when any probe is. The chart colours its columns from it
// and a recorded row takes its result from it.
class Verdict {
public:
    // Judges probes 1..readings.size() (at most 60).
    void judge(std::span<const link::ChannelReading> readings, const ToleranceTable& limits);

    // `index` is 0-based; a probe not judged is NG.
    Judgement probe(unsigned index) const { return index < count_ ? probes_[index] : Judgement::Ng; }
    bool anyNg() const { return anyNg_; }

private:
    std::array<Judgement, link::kMaxProbes> probes_{};
    unsigned count_ = 0;
    bool anyNg_ = false;
};

}  // namespace gaugemon::tolerance
