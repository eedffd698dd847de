#pragma once
#include <string_view>

#include "core/text_settings.h"
#include "measure/setup_text.h"

namespace gaugemon::measure {

// The station keeps its characteristics as one setup text in one value, so
// that a change is written as a whole or not at all.
inline constexpr std::string_view kCharacteristicsGroup = "Characteristics";
inline constexpr std::string_view kDefinitionsKey = "Definitions";

// The stored characteristics with their limits in `unit` (the station's),
// and the refusals of stored lines that were left out. Nothing stored: none.
SetupParse loadCharacteristics(const core::TextSettings& settings, LengthUnit unit);

// False when the store refused the write; the stored text is then unchanged.
bool storeCharacteristics(core::TextSettings& settings, const CharacteristicSetup& setup);

}  // namespace gaugemon::measure
