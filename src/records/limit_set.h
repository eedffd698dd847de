#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "measure/counts.h"

namespace gaugemon::records {

// A probe's tolerance limits in device counts (0.001 mm), as the record
// file headers show them.
struct LimitCounts {
    int32_t lower = 0;
    int32_t upper = 0;
    bool operator==(const LimitCounts&) const = default;
};
using LimitCountsTable = std::array<LimitCounts, measure::kMaxProbes>;

// The limits of every probe of a row as kept outside the table: eight bytes
// a probe, lower then upper, least significant first.
inline constexpr size_t kLimitBytesPerProbe = 8;
using LimitSetBytes = std::array<char, measure::kMaxProbes * kLimitBytesPerProbe>;

// Writes `limits` into `out`; the bytes written.
size_t encodeLimitSet(std::span<const LimitCounts> limits, LimitSetBytes& out);
// The limits of `probes` probes from `bytes`; empty when the bytes are not
// that many probes' limits.
std::span<const LimitCounts> decodeLimitSet(std::string_view bytes, unsigned probes, LimitCountsTable& out);

}  // namespace gaugemon::records
