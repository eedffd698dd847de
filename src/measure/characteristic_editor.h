#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "measure/characteristic_evaluator.h"
#include "measure/setup_text.h"

namespace gaugemon::measure {

// What the characteristics dialog edits: a copy of the station's setup that
// the operator changes line by line, imports or exports, and sees evaluated
// on the current readings, until the dialog's OK hands it to the station.
// Every change is checked as the station would check it; a refused change
// leaves the list as it was.
class CharacteristicEditor {
public:
    // `probeCount` is the connected instrument's (kMaxProbes when none is).
    CharacteristicEditor(CharacteristicSetup setup, unsigned probeCount);

    const CharacteristicSetup& setup() const { return setup_; }
    size_t size() const { return setup_.definitions.size(); }
    // The fields that show definition `index` in the dialog.
    DefinitionFields fields(size_t index) const;

    std::optional<Refusal> add(const DefinitionFields& fields);
    std::optional<Refusal> replace(size_t index, const DefinitionFields& fields);
    void remove(size_t index);

    // Replaces the list by the valid lines of a setup text, their limits in
    // the editor's unit; the refusals name the lines left out. A text with no
    // valid line keeps the list.
    std::vector<Refusal> importText(std::string_view text);
    std::string exportText() const { return writeSetupText(setup_); }

    // The value of each definition from the given readings (as the station
    // evaluates an answer) and its zone against its limits.
    const CharacteristicValues& preview(std::span<const Length> probes, uint64_t usableProbes);
    Zone previewZone(size_t index, int32_t preWarningShare) const;

private:
    // The refusal of `fields` as definition `index` (size() for a new one).
    std::optional<Refusal> check(const DefinitionFields& fields, size_t index, CharacteristicDefinition& out) const;
    void recompile() { evaluator_.compile(setup_); }

    CharacteristicSetup setup_;
    unsigned probeCount_;
    CharacteristicEvaluator evaluator_;
    CharacteristicValues values_;
};

}  // namespace gaugemon::measure
