#include "tolerance/verdict.h"

#include <algorithm>

namespace gaugemon::tolerance {

PreWarning loadPreWarning(const core::SettingsStore& store) {
    const PreWarning stored{store.readInt(keys::kPreWarn, PreWarning::kOff)};
    return stored.on() ? stored : PreWarning{};
}

bool storePreWarning(core::SettingsStore& store, PreWarning preWarning) {
    return store.writeInt(keys::kPreWarn, preWarning.on() ? preWarning.sharePercent : PreWarning::kOff);
}

bool inWarningStrip(int64_t lower, int64_t upper, int64_t value, PreWarning preWarning) {
    if (!preWarning.on() || value < lower || value > upper) return false;
    // |v - middle| > share * (upper - lower) / 2, kept in integers:
    // |200 v - 100 (lower + upper)| > share * (upper - lower).
    const int64_t offCentre = 200 * value - 100 * (lower + upper);
    return (offCentre < 0 ? -offCentre : offCentre) > preWarning.sharePercent * (upper - lower);
}

Zone zoneOf(const ToleranceTable& limits, unsigned probe, const measure::Length& reading, PreWarning preWarning) {
    if (limits.judgeProbe(probe, reading) == Judgement::Ng) return Zone::Ng;
    const ProbeLimits& band = limits.limits(probe);
    const int64_t perCount = reading.fine() ? measure::kFinePerStandardCount : 1;
    const bool warning =
        inWarningStrip(band.lslCounts * perCount, band.uslCounts * perCount, reading.counts, preWarning);
    return warning ? Zone::Warning : Zone::Ok;
}

void Verdict::judge(std::span<const measure::Length> readings, const ToleranceTable& limits) {
    count_ = static_cast<unsigned>(std::min<size_t>(readings.size(), measure::kMaxProbes));
    characteristicCount_ = 0;
    anyNg_ = false;
    for (unsigned i = 0; i < count_; ++i) {
        zones_[i] = zoneOf(limits, i + 1, readings[i], preWarning_);
        probes_[i] = zones_[i] == Zone::Ng ? Judgement::Ng : Judgement::Ok;
        anyNg_ = anyNg_ || probes_[i] == Judgement::Ng;
    }
}

void Verdict::judgeCharacteristics(const measure::CharacteristicValues& values,
                                   const measure::CharacteristicEvaluator& evaluator) {
    characteristicCount_ = std::min({values.count, evaluator.count(), measure::kMaxCharacteristics});
    for (unsigned i = 0; i < characteristicCount_; ++i) {
        const std::optional<measure::Length>& value = values.values[i];
        Zone zone = Zone::Ng;
        if (value) {
            switch (evaluator.judge(i, *value, preWarning_.sharePercent)) {
                case measure::Zone::Ok: zone = Zone::Ok; break;
                case measure::Zone::Warning: zone = preWarning_.on() ? Zone::Warning : Zone::Ok; break;
                case measure::Zone::Ng: zone = Zone::Ng; break;
            }
        }
        characteristicZones_[i] = zone;
        anyNg_ = anyNg_ || zone == Zone::Ng;
    }
}

}  // namespace gaugemon::tolerance
