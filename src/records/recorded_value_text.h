#pragma once
#include <cstdint>

#include "display/value_text.h"
#include "measure/length_unit.h"

namespace gaugemon::records {

// The value text of a recorded number, as display::formatValueText makes it,
// made for every value of every row a list or a file shows: thousandths of a
// millimetre, the common case, come from tables of three digits.
// Writes the eight characters at `out`.
void putRecordedValueText(int32_t counts, measure::LengthUnit unit, bool fineResolution, char* out);

inline display::ValueText recordedValueText(int32_t counts, measure::LengthUnit unit, bool fineResolution) {
    display::ValueText text;
    putRecordedValueText(counts, unit, fineResolution, text.slot.data());
    return text;
}

}  // namespace gaugemon::records
