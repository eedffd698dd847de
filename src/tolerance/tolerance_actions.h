#pragma once
#include <optional>

#include "core/language.h"
#include "core/settings_store.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::tolerance {

// What the tolerance dialog's fields hold when the operator confirms.
struct LimitEntry {
    unsigned probe = 0;  // 1..60
    float lower = 0.0f;  // in the current unit
    float upper = 0.0f;
};

// Outcome of a confirmation. `message` is the text to show, or null when the
// limits were stored; then the caller requests a chart redraw so that the
// columns and the verdict are judged again.
struct LimitChange {
    bool stored = false;
    const char* message = nullptr;
};

// The dialog's OK button: refuses a probe number outside 1..60, a lower
// limit above the upper one (equal limits are fine) and entries that are not
// numbers or too large; otherwise stores both limits of the probe in display
// units, writes its two keys and derives its counts.
LimitChange applyProbeLimits(ToleranceTable& table, const LimitEntry& entry, LengthUnit unit, core::Language language,
                             core::SettingsStore& store);

// "All the same as No.1": gives probes 2..60 the stored limits of probe 1
// (not what its fields show) and writes their keys. The caller requests a
// chart redraw.
void copyFirstProbeLimits(ToleranceTable& table, LengthUnit unit, core::SettingsStore& store);

// Fields the dialog loads when its list selection moves to another probe.
struct LimitFields {
    unsigned probe = 0;
    float lower = 0.0f;
    float upper = 0.0f;
};

// Follows the list selection of the open dialog (its 100 ms tick): yields the
// fields to show only when the selected probe differs from the last one
// loaded, so what the operator types stays until another row is picked.
class ToleranceSelection {
public:
    // `selectionMark` is the list's selected row, negative when none is
    // selected (probe 1 is then shown).
    std::optional<LimitFields> follow(int selectionMark, const ToleranceTable& table, LengthUnit unit);

private:
    // Matches no probe, so the first tick loads one.
    static constexpr unsigned kNoProbeLoaded = 100;
    unsigned lastLoaded_ = kNoProbeLoaded;
};

}  // namespace gaugemon::tolerance
