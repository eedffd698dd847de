#include "display/display_range.h"

#include <limits>

namespace gaugemon::display {

namespace {

constexpr const char* kLowerNotAtMostZero = " <=0! ";
constexpr const char* kUpperNotAboveZero = " >0! ";
constexpr double kHalfCount = 0.0005;
constexpr double kCountsPerMillimetre = 1000.0;

// Truncates toward zero, keeping entries beyond the counts' range at its ends.
int32_t truncatedCounts(double counts) {
    constexpr double largest = std::numeric_limits<int32_t>::max();
    constexpr double smallest = std::numeric_limits<int32_t>::min();
    if (counts >= largest) return std::numeric_limits<int32_t>::max();
    if (counts <= smallest) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(counts);
}

}  // namespace

DisplayRange loadDisplayRange(const app::SettingsStore& store) {
    return {store.readInt(app::keys::kResoL, app::defaults::kResoL),
            store.readInt(app::keys::kResoH, app::defaults::kResoH)};
}

float rangeFieldValue(int32_t counts) { return static_cast<float>(counts * 0.001); }

const char* confirmDisplayRange(float lower, float upper, DisplayRange& range, app::SettingsStore& store) {
    // Written so that an entry that is not a number fails the test.
    if (!(lower <= 0.0f)) return kLowerNotAtMostZero;
    if (!(upper > 0.0f)) return kUpperNotAboveZero;
    const int32_t high = truncatedCounts((upper + kHalfCount) * kCountsPerMillimetre);
    const int32_t low = truncatedCounts((lower - kHalfCount) * kCountsPerMillimetre);
    if (high <= low) return kUpperNotAboveZero;
    range = {low, high};
    store.writeInt(app::keys::kResoH, high);
    store.writeInt(app::keys::kResoL, low);
    return nullptr;
}

}  // namespace gaugemon::display
