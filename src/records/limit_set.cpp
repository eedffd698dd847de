#include "records/limit_set.h"

#include <algorithm>

namespace gaugemon::records {

namespace {
void put(int32_t value, char* four) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) four[i] = static_cast<char>(bits >> (8 * i) & 0xFFu);
}
int32_t get(const char* four) {
    const auto* b = reinterpret_cast<const unsigned char*>(four);
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
}
}  // namespace

size_t encodeLimitSet(std::span<const LimitCounts> limits, LimitSetBytes& out) {
    const size_t probes = std::min<size_t>(limits.size(), measure::kMaxValues);
    for (size_t k = 0; k < probes; ++k) {
        put(limits[k].lower, out.data() + k * kLimitBytesPerProbe);
        put(limits[k].upper, out.data() + k * kLimitBytesPerProbe + 4);
    }
    return probes * kLimitBytesPerProbe;
}

std::span<const LimitCounts> decodeLimitSet(std::string_view bytes, unsigned probes, ValueLimitsTable& out) {
    if (probes == 0 || probes > measure::kMaxValues || bytes.size() != probes * kLimitBytesPerProbe) return {};
    for (unsigned k = 0; k < probes; ++k)
        out[k] = {get(bytes.data() + k * kLimitBytesPerProbe), get(bytes.data() + k * kLimitBytesPerProbe + 4)};
    return std::span<const LimitCounts>(out).first(probes);
}

}  // namespace gaugemon::records
