#include "measure/characteristic_settings.h"

#include "measure/counts.h"

namespace gaugemon::measure {

SetupParse loadCharacteristics(const core::TextSettings& settings, LengthUnit unit) {
    const std::optional<std::string> stored = settings.readText(kCharacteristicsGroup, kDefinitionsKey);
    if (!stored) {
        SetupParse none;
        none.setup.unit = unit;
        return none;
    }
    // The instrument is not known yet at start: its count is checked when a
    // characteristic is edited, and a probe it lacks leaves the value absent.
    SetupParse loaded = parseSetupText(*stored, kMaxProbes);
    convertLimits(loaded.setup, unit);
    return loaded;
}

bool storeCharacteristics(core::TextSettings& settings, const CharacteristicSetup& setup) {
    return settings.writeText(kCharacteristicsGroup, kDefinitionsKey, writeSetupText(setup));
}

}  // namespace gaugemon::measure
