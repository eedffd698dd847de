#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/characteristic.h"
#include "measure/characteristic_refusal.h"

namespace gaugemon::measure {

// A part's characteristics as a plain text, one characteristic per line:
//
//   # Characteristics: name; decimals; lower limit; upper limit; formula
//   unit mm
//   Diameter; 3; 24.990; 25.010; p1 + p2 + 25
//   Runout; 3; 0; 0.020; range(p3..p10)
//
// Blank lines and lines beginning with # are ignored; a "unit mm" or
// "unit in" line before the characteristics says the unit of the limits
// (millimetres when there is none). Formulas: a sum of probes with factors
// and constants in millimetres ("0.5*p1 - 0.5*p2 + 12.5"), or mean, max, min
// or range over a list of probes and ranges ("max(p1..p8, p10)").

// Larger texts are refused whole, unread.
inline constexpr size_t kMaxSetupTextBytes = 64 * 1024;
// A text with more faults reports only the first ones.
inline constexpr size_t kMaxReportedRefusals = 16;

// The fields of one characteristic as the operator typed them.
struct DefinitionFields {
    std::string name;
    std::string decimals;
    std::string lower;  // in `unit`
    std::string upper;
    std::string formula;
};

struct FieldsOutcome {
    CharacteristicDefinition definition;
    std::optional<Refusal> refusal;
};

// Reads the fields into a definition, refusing what cannot be read (the name
// and the probe count are checked by definitionRefusal, not here). Limits
// take the decimals the unit stores (3 in mm, 5 in inches), no more.
FieldsOutcome definitionFromFields(const DefinitionFields& fields, LengthUnit unit);

// A limit as a setup text writes it: "24.990" (mm), "0.98425" (in).
std::string limitText(int32_t stored, LengthUnit unit);

// The fields that read back to `definition`.
DefinitionFields fieldsOf(const CharacteristicDefinition& definition, LengthUnit unit);

// The formula as a setup text writes it, and reads back to the same formula.
std::string formulaText(const Formula& formula);

struct SetupParse {
    CharacteristicSetup setup;
    std::vector<Refusal> refusals;  // with line numbers; those lines are left out
};

// Every line that is a valid characteristic (against the earlier ones and
// `probeCount`) is taken, at most kMaxCharacteristics of them; the others are
// refused by line. Any text, however damaged, gives a result.
SetupParse parseSetupText(std::string_view text, unsigned probeCount);

// The text of `setup`: parseSetupText of it gives `setup` again.
std::string writeSetupText(const CharacteristicSetup& setup);

// Reads a setup file of at most kMaxSetupTextBytes into `text`; a refusal
// (CannotRead, TextTooLarge) otherwise.
std::optional<Refusal> readSetupFile(const std::filesystem::path& path, std::string& text);

}  // namespace gaugemon::measure
