#include "measure/characteristic_editor.h"

#include "measure/characteristic_validation.h"

namespace gaugemon::measure {

CharacteristicEditor::CharacteristicEditor(CharacteristicSetup setup, unsigned probeCount)
    : setup_(std::move(setup)), probeCount_(probeCount) {
    if (setup_.definitions.size() > kMaxCharacteristics) setup_.definitions.resize(kMaxCharacteristics);
    recompile();
}

DefinitionFields CharacteristicEditor::fields(size_t index) const {
    if (index >= size()) return {};
    return fieldsOf(setup_.definitions[index], setup_.unit);
}

std::optional<Refusal> CharacteristicEditor::check(const DefinitionFields& fields, size_t index,
                                                   CharacteristicDefinition& out) const {
    FieldsOutcome read = definitionFromFields(fields, setup_.unit);
    if (read.refusal) return read.refusal;
    // The name may stay what it was: only the other definitions count.
    std::vector<CharacteristicDefinition> others;
    others.reserve(size());
    for (size_t i = 0; i < size(); ++i) {
        if (i != index) others.push_back(setup_.definitions[i]);
    }
    if (auto refusal = definitionRefusal(read.definition, others, probeCount_)) return refusal;
    out = std::move(read.definition);
    return std::nullopt;
}

std::optional<Refusal> CharacteristicEditor::add(const DefinitionFields& fields) {
    if (size() >= kMaxCharacteristics) return Refusal{RefusalReason::TooManyCharacteristics};
    CharacteristicDefinition definition;
    if (auto refusal = check(fields, size(), definition)) return refusal;
    setup_.definitions.push_back(std::move(definition));
    recompile();
    return std::nullopt;
}

std::optional<Refusal> CharacteristicEditor::replace(size_t index, const DefinitionFields& fields) {
    if (index >= size()) return add(fields);
    CharacteristicDefinition definition;
    if (auto refusal = check(fields, index, definition)) return refusal;
    setup_.definitions[index] = std::move(definition);
    recompile();
    return std::nullopt;
}

void CharacteristicEditor::remove(size_t index) {
    if (index >= size()) return;
    setup_.definitions.erase(setup_.definitions.begin() + static_cast<std::ptrdiff_t>(index));
    recompile();
}

std::vector<Refusal> CharacteristicEditor::importText(std::string_view text) {
    SetupParse parsed = parseSetupText(text, probeCount_);
    if (parsed.setup.definitions.empty()) {
        // Nothing to take: a text of comments only still tells the operator so.
        if (parsed.refusals.empty()) parsed.refusals.push_back(Refusal{RefusalReason::EmptyList});
        return parsed.refusals;
    }
    convertLimits(parsed.setup, setup_.unit);
    setup_.definitions = std::move(parsed.setup.definitions);
    recompile();
    return parsed.refusals;
}

const CharacteristicValues& CharacteristicEditor::preview(std::span<const Length> probes, uint64_t usableProbes) {
    evaluator_.evaluate(probes, usableProbes, values_);
    return values_;
}

Zone CharacteristicEditor::previewZone(size_t index, int32_t preWarningShare) const {
    if (index >= values_.count || !values_.values[index]) return Zone::Ng;
    return evaluator_.judge(static_cast<unsigned>(index), *values_.values[index], preWarningShare);
}

}  // namespace gaugemon::measure
