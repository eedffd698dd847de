#pragma once
#include <array>
#include <cstdint>

#include "core/settings_store.h"
#include "measure/length.h"
#include "measure/length_unit.h"
#include "tolerance/tolerance_judgement.h"

namespace gaugemon::tolerance {

using measure::LengthUnit;

constexpr unsigned kToleranceProbes = 60;

// One probe's limits, both in display units (0.001 mm, or 0.00001 in in inch
// mode; what the settings and the dialog hold) and in device counts of
// 0.001 mm (what the judgement uses).
struct ProbeLimits {
    int32_t lslDisplay = core::defaults::kLowerLimit;
    int32_t uslDisplay = core::defaults::kUpperLimit;
    int32_t lslCounts = core::defaults::kLowerLimit;
    int32_t uslCounts = core::defaults::kUpperLimit;
};

// Display units to counts. Inch values are rounded to the nearest count, so a
// limit converted to inch and back (3000 -> 11811 -> 3000) does not lose a
// count at every start in inch mode.
int32_t countsFromDisplay(int32_t display, LengthUnit unit);
// Counts to display units; inch values are truncated toward zero.
int32_t displayFromCounts(int32_t counts, LengthUnit unit);

// Limits of probe slots 1..60, whatever the number of probes connected. Every
// change is written to the settings at once; the counts are never stored,
// they follow from the stored display values and the unit.
class ToleranceTable {
public:
    static constexpr bool validProbe(unsigned probe) { return probe >= 1 && probe <= kToleranceProbes; }

    // Reads TL01..TL60 and TU01..TU60 (defaults 3000 and 6000) and derives
    // the counts in `unit`.
    void load(const core::SettingsStore& store, LengthUnit unit);

    // `probe` is 1..60; any other number yields limits that accept nothing.
    const ProbeLimits& limits(unsigned probe) const;

    // OK when LSL <= value <= USL. A fine-resolution value (0.0001 mm) is
    // compared with the limits in the same length, not as if it were in
    // thousandths. Probes outside 1..60 are NG.
    Judgement judgeProbe(unsigned probe, const measure::Length& reading) const;

    // Stores a pair in display units for one probe, writes its two keys and
    // derives its counts. Returns false for a probe outside 1..60, which
    // touches nothing.
    bool setDisplayLimits(unsigned probe, int32_t lslDisplay, int32_t uslDisplay, LengthUnit unit,
                          core::SettingsStore& store);

    // Rewrites every display value from the unchanged counts in `newUnit` and
    // writes all 120 keys, lower before upper, probe by probe.
    void convertLimitsForUnit(LengthUnit newUnit, core::SettingsStore& store);

private:
    std::array<ProbeLimits, kToleranceProbes> entries_{};
};

}  // namespace gaugemon::tolerance
