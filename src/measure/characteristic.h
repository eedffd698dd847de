#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "measure/length.h"
#include "measure/length_unit.h"
#include "measure/limit_counts.h"

namespace gaugemon::measure {

// How a characteristic combines its probes: a weighted sum plus a constant
// (a diameter from two opposed probes and the nominal, a difference), the
// mean, or the largest, the smallest or their difference (runout, ovality,
// flatness) over a list of probes.
enum class FormulaKind : uint8_t { Sum, Mean, Max, Min, Range };

// One probe of a formula. The weight counts in a sum only.
struct FormulaTerm {
    uint8_t probe = 1;  // 1..60
    double weight = 1.0;
    friend bool operator==(const FormulaTerm&, const FormulaTerm&) = default;
};

struct Formula {
    FormulaKind kind = FormulaKind::Sum;
    std::vector<FormulaTerm> terms;
    // Added to a sum; zero for the other kinds.
    Length constant = tenthMicrometres(0);
    friend bool operator==(const Formula&, const Formula&) = default;
};

// Largest magnitudes a definition may hold, so that no evaluation of a valid
// one can overflow: a weight, the constant, and the terms of one formula
// (every probe once, or some twice in a sum).
inline constexpr double kMaxWeight = 1000.0;
inline constexpr int64_t kMaxConstantTenthMicrometres = 9'999'999;  // 999.9999 mm
inline constexpr unsigned kMaxTerms = 60;
inline constexpr unsigned kMaxDecimals = 4;
inline constexpr unsigned kMaxNameBytes = 32;
// A limit in stored units, as a probe's limit may be.
inline constexpr int32_t kMaxLimitStored = 999999;
// A probe's full scale as far as the station shows and judges it: 999.999 mm,
// the most a probe's text and its limits hold.
inline constexpr int64_t kProbeFullScaleTenthMicrometres = 9'999'990;
// The largest magnitude of a value's counts (of 0.001 or 0.0001 mm) that a
// recorded row keeps: 28 signed bits. A formula whose value could go beyond
// it at fine resolution, with every probe at full scale, is refused; a value
// beyond it all the same (a probe beyond full scale) is no value.
inline constexpr int64_t kMaxValueCounts = (int64_t{1} << 27) - 1;

// A value computed from several probes and judged like a probe. Its limits
// are kept as a probe's are: in the stored units of the station's length unit
// (0.001 mm, or 0.00001 in), and converted when the unit is switched.
struct CharacteristicDefinition {
    std::string name;  // UTF-8
    unsigned decimals = 3;
    int32_t lowerStored = 0;
    int32_t upperStored = 0;
    Formula formula;
    friend bool operator==(const CharacteristicDefinition&, const CharacteristicDefinition&) = default;
};

// The characteristics of a part and the unit their limits are stored in.
struct CharacteristicSetup {
    LengthUnit unit = LengthUnit::Millimetre;
    std::vector<CharacteristicDefinition> definitions;
    friend bool operator==(const CharacteristicSetup&, const CharacteristicSetup&) = default;
};

// Rewrites every limit of `setup` in `unit` from its counts (nothing when the
// unit is already that).
void convertLimits(CharacteristicSetup& setup, LengthUnit unit);

}  // namespace gaugemon::measure
