#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "measure/counts.h"

namespace gaugemon::records {

// A probe's or a characteristic's tolerance limits in device counts
// (0.001 mm), as the record file headers show them.
struct LimitCounts {
    int32_t lower = 0;
    int32_t upper = 0;
    bool operator==(const LimitCounts&) const = default;
};
using LimitCountsTable = std::array<LimitCounts, measure::kMaxProbes>;
// Probes, then characteristics.
using ValueLimitsTable = std::array<LimitCounts, measure::kMaxValues>;

// The limits of every value of a row (probes, then characteristics) as kept
// outside the table: eight bytes a value, lower then upper, least
// significant first.
inline constexpr size_t kLimitBytesPerProbe = 8;
using LimitSetBytes = std::array<char, measure::kMaxValues * kLimitBytesPerProbe>;

// Writes `limits` into `out`; the bytes written.
size_t encodeLimitSet(std::span<const LimitCounts> limits, LimitSetBytes& out);
// The limits of `values` values from `bytes`; empty when the bytes are not
// that many values' limits.
std::span<const LimitCounts> decodeLimitSet(std::string_view bytes, unsigned values, ValueLimitsTable& out);

}  // namespace gaugemon::records
