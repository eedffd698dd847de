#pragma once
#include <optional>
#include <span>
#include <string_view>

#include "measure/characteristic.h"
#include "measure/characteristic_refusal.h"

namespace gaugemon::measure {

// Whether `name` may name a characteristic: 1..32 bytes of UTF-8 without
// control characters, invisible or direction-changing characters or the
// separators of files (; , "), not beginning with # (a comment in a setup
// text) nor with what a spreadsheet takes for a formula (= + - @). Nothing
// when it may.
std::optional<RefusalReason> nameRefusal(std::string_view name);

// The first fault of `definition`, or nothing when it may be used: its name,
// decimals 0..4, limits in range with lower <= upper, at least one probe,
// each one of p1..p60 and at most `probeCount` (the connected instrument's
// count; kMaxProbes when none is known), at most 60 terms, finite weights
// and constant in range, and a value that stays within what a row holds
// (kMaxValueCounts) with its probes anywhere within their full scale. `others` are the definitions it must not share a
// name with.
std::optional<Refusal> definitionRefusal(const CharacteristicDefinition& definition,
                                         std::span<const CharacteristicDefinition> others, unsigned probeCount);

}  // namespace gaugemon::measure
