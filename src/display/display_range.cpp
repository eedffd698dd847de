#include "display/display_range.h"

namespace gaugemon::display {

namespace {

// The largest whole number of millimetres whose counts fit the 32 bits of
// ResoL and ResoH, halves added.
constexpr double kLargestMillimetres = 2147483.0;
constexpr double kHalfCount = 0.0005;
constexpr double kCountsPerMillimetre = 1000.0;

// Truncates toward zero; the entry has been bounded so that it fits.
int32_t truncatedCounts(double counts) { return static_cast<int32_t>(counts); }

}  // namespace

const char* rangeRefusalText(RangeRefusal refusal) {
    switch (refusal) {
        case RangeRefusal::None: return nullptr;
        case RangeRefusal::LowerNotAtMostZero: return " <=0! ";
        case RangeRefusal::LowerBelowSmallest: return " >=-2147483! ";
        case RangeRefusal::UpperNotAboveZero: return " >0! ";
        case RangeRefusal::UpperAboveLargest: return " <=2147483! ";
    }
    return nullptr;
}

DisplayRange loadDisplayRange(const core::SettingsStore& store) {
    return {store.readInt(core::keys::kResoL, core::defaults::kResoL),
            store.readInt(core::keys::kResoH, core::defaults::kResoH)};
}

float rangeFieldValue(int32_t counts) { return static_cast<float>(counts * 0.001); }

RangeRefusal confirmDisplayRange(float lower, float upper, DisplayRange& range, core::SettingsStore& store) {
    // Written so that an entry that is not a number fails the test.
    if (!(lower <= 0.0f)) return RangeRefusal::LowerNotAtMostZero;
    if (!(lower >= -kLargestMillimetres)) return RangeRefusal::LowerBelowSmallest;
    if (!(upper > 0.0f)) return RangeRefusal::UpperNotAboveZero;
    if (!(upper <= kLargestMillimetres)) return RangeRefusal::UpperAboveLargest;
    const int32_t high = truncatedCounts((upper + kHalfCount) * kCountsPerMillimetre);
    const int32_t low = truncatedCounts((lower - kHalfCount) * kCountsPerMillimetre);
    // Below half a count the upper end would be stored as 0, which is no
    // upper end above 0 and, over a lower end of 0, no range at all.
    if (high <= 0) return RangeRefusal::UpperNotAboveZero;
    range = {low, high};
    core::SettingsBatch batch(store);
    store.writeInt(core::keys::kResoH, high);
    store.writeInt(core::keys::kResoL, low);
    return RangeRefusal::None;
}

}  // namespace gaugemon::display
