#include "measure/characteristic.h"

namespace gaugemon::measure {

void convertLimits(CharacteristicSetup& setup, LengthUnit unit) {
    if (setup.unit == unit) return;
    for (CharacteristicDefinition& d : setup.definitions) {
        d.lowerStored = limitStoredFromCounts(limitCountsFromStored(d.lowerStored, setup.unit), unit);
        d.upperStored = limitStoredFromCounts(limitCountsFromStored(d.upperStored, setup.unit), unit);
    }
    setup.unit = unit;
}

}  // namespace gaugemon::measure
