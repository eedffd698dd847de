#pragma once
#include <optional>

#include "core/settings_store.h"
#include "display/chart_area.h"
#include "display/length_unit.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::display {

// The unit in force and the unit of the last confirmation, which tells
// whether the stored limits are still in the unit of the settings.
struct UnitState {
    measure::LengthUnit unit = measure::LengthUnit::Millimetre;
    measure::LengthUnit previous = measure::LengthUnit::Millimetre;
};

UnitState loadUnit(const core::SettingsStore& store);

// The unit confirmation with the selector's item index. An index outside
// the list (nothing selected) is ignored and returns false. Otherwise the
// unit is set and persisted, and on a real change every stored limit is
// rewritten in the new unit from its unchanged counts; returns true, and the
// caller requests a chart redraw.
bool confirmUnit(int selectedIndex, UnitState& state, tolerance::ToleranceTable& tolerances,
                 core::SettingsStore& store);

// The probe (1-based) whose slice of the plot holds the client point: the
// plot is cut into `probes` equal slices, edges excluded. Nothing outside the
// plot or without probes.
std::optional<unsigned> probeAtPoint(const ChartArea& area, unsigned probes, int32_t x, int32_t y);

}  // namespace gaugemon::display
