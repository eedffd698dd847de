#include "display/display_actions.h"

#include "display/display_mode.h"

namespace gaugemon::display {

UnitState loadUnit(const core::SettingsStore& store) {
    const measure::LengthUnit unit =
        measure::lengthUnitFromSetting(store.readInt(core::keys::kUnit, core::defaults::kUnit));
    return {unit, unit};
}

bool confirmUnit(int selectedIndex, UnitState& state, tolerance::ToleranceTable& tolerances,
                 core::SettingsStore& store) {
    if (selectedIndex < 0 || selectedIndex >= static_cast<int>(kUnitSelectorItems)) return false;
    state.unit = static_cast<measure::LengthUnit>(selectedIndex);
    // The unit and the limits in it are one state: limits of one unit read
    // in the other would judge against bands 3.9 times off.
    core::SettingsBatch batch(store);
    store.writeInt(core::keys::kUnit, measure::lengthUnitSetting(state.unit));
    if (state.unit != state.previous) {
        tolerances.convertLimitsForUnit(state.unit, store);
        state.previous = state.unit;
    }
    return true;
}

std::optional<unsigned> probeAtPoint(const ChartArea& area, unsigned probes, int32_t x, int32_t y) {
    if (probes == 0) return std::nullopt;
    if (!(area.top < y && y < area.bottom && area.left < x && x < area.right)) return std::nullopt;
    const uint64_t offset = static_cast<uint64_t>(x - area.left);
    const uint64_t width = static_cast<uint64_t>(area.right - area.left);
    return static_cast<unsigned>(offset * probes / width) + 1;
}

}  // namespace gaugemon::display
