#pragma once
// The rows the record benchmarks work with: 60 probes of distinct values,
// recorded at one fixed moment.
#include <array>
#include <span>

#include "core/clock.h"
#include "measure/length.h"
#include "records/record_table.h"

namespace gaugemon::bench {

inline constexpr unsigned kProbes = 60;
inline constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

using SampleValues = std::array<measure::Length, measure::kMaxProbes>;

// Probe k shows " kk.ddd " (k % 100 mm and k * 7 % 1000 thousandths).
inline SampleValues sampleValues() {
    SampleValues values{};
    for (unsigned k = 0; k < values.size(); ++k)
        values[k] = measure::micrometres(static_cast<int32_t>(k % 100 * 1000 + k * 7 % 1000));
    return values;
}

// The limits every row is recorded with, as the station gives them.
inline const records::LimitCountsTable& sampleLimits() {
    static const records::LimitCountsTable limits = [] {
        records::LimitCountsTable l{};
        l.fill({3000, 6000});
        return l;
    }();
    return limits;
}

// `values` must outlive the input.
inline records::RowInput rowInput(const SampleValues& values) {
    records::RowInput input{kProbes, false, measure::LengthUnit::Millimetre, false, core::Language::English, {},
                            kTime,   values};
    input.limits = std::span(sampleLimits()).first(kProbes);
    return input;
}

}  // namespace gaugemon::bench
