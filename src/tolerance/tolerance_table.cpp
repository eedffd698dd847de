#include "tolerance/tolerance_table.h"

#include "measure/limit_counts.h"

namespace gaugemon::tolerance {

namespace {

// Limits that no value satisfies, for probe numbers without a slot.
constexpr ProbeLimits kNoSlot{1, 0, 1, 0};

}  // namespace

int32_t countsFromDisplay(int32_t display, LengthUnit unit) { return measure::limitCountsFromStored(display, unit); }

int32_t displayFromCounts(int32_t counts, LengthUnit unit) { return measure::limitStoredFromCounts(counts, unit); }

void ToleranceTable::load(const core::SettingsStore& store, LengthUnit unit) {
    for (unsigned probe = 1; probe <= kToleranceProbes; ++probe) {
        ProbeLimits& e = entries_[probe - 1];
        e.lslDisplay = store.readInt(core::lowerLimitKey(static_cast<int>(probe)), core::defaults::kLowerLimit);
        e.uslDisplay = store.readInt(core::upperLimitKey(static_cast<int>(probe)), core::defaults::kUpperLimit);
        e.lslCounts = countsFromDisplay(e.lslDisplay, unit);
        e.uslCounts = countsFromDisplay(e.uslDisplay, unit);
    }
}

const ProbeLimits& ToleranceTable::limits(unsigned probe) const {
    return validProbe(probe) ? entries_[probe - 1] : kNoSlot;
}

Judgement ToleranceTable::judgeProbe(unsigned probe, const measure::Length& reading) const {
    if (!validProbe(probe)) return Judgement::Ng;
    const ProbeLimits& e = entries_[probe - 1];
    const int64_t perCount = reading.fine() ? measure::kFinePerStandardCount : 1;
    const int64_t value = reading.counts;
    const bool ok = e.lslCounts * perCount <= value && value <= e.uslCounts * perCount;
    return ok ? Judgement::Ok : Judgement::Ng;
}

bool ToleranceTable::setDisplayLimits(unsigned probe, int32_t lslDisplay, int32_t uslDisplay, LengthUnit unit,
                                      core::SettingsStore& store) {
    if (!validProbe(probe)) return false;
    ProbeLimits& e = entries_[probe - 1];
    e.lslDisplay = lslDisplay;
    e.uslDisplay = uslDisplay;
    e.lslCounts = countsFromDisplay(lslDisplay, unit);
    e.uslCounts = countsFromDisplay(uslDisplay, unit);
    core::SettingsBatch batch(store);
    store.writeInt(core::lowerLimitKey(static_cast<int>(probe)), lslDisplay);
    store.writeInt(core::upperLimitKey(static_cast<int>(probe)), uslDisplay);
    return true;
}

void ToleranceTable::convertLimitsForUnit(LengthUnit newUnit, core::SettingsStore& store) {
    core::SettingsBatch batch(store);
    for (unsigned probe = 1; probe <= kToleranceProbes; ++probe) {
        ProbeLimits& e = entries_[probe - 1];
        e.lslDisplay = displayFromCounts(e.lslCounts, newUnit);
        e.uslDisplay = displayFromCounts(e.uslCounts, newUnit);
        store.writeInt(core::lowerLimitKey(static_cast<int>(probe)), e.lslDisplay);
        store.writeInt(core::upperLimitKey(static_cast<int>(probe)), e.uslDisplay);
    }
}

}  // namespace gaugemon::tolerance
