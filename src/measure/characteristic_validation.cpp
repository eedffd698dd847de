#include "measure/characteristic_validation.h"

#include <cmath>

#include "measure/counts.h"

namespace gaugemon::measure {

namespace {

// Bytes of a UTF-8 sequence led by `lead`; 0 when it leads none.
unsigned sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool validUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned length = sequenceLength(static_cast<unsigned char>(text[i]));
        if (length == 0 || i + length > text.size()) return false;
        for (unsigned k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

bool forbiddenByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == ';' || c == ',' || c == '"';
}

std::optional<Refusal> formulaRefusal(const Formula& formula, unsigned probeCount) {
    if (formula.terms.empty()) return Refusal{RefusalReason::EmptyList};
    if (formula.terms.size() > kMaxTerms) return Refusal{RefusalReason::TooManyTerms};
    for (const FormulaTerm& term : formula.terms) {
        if (term.probe < 1 || term.probe > kMaxProbes) return Refusal{RefusalReason::UnknownProbe, 0, term.probe};
        if (term.probe > probeCount) return Refusal{RefusalReason::ProbeBeyondCount, 0, term.probe};
        if (!std::isfinite(term.weight) || std::fabs(term.weight) > kMaxWeight)
            return Refusal{RefusalReason::BadWeight};
    }
    const int64_t constant = formula.constant.tenthMicrometres();
    if (constant > kMaxConstantTenthMicrometres || constant < -kMaxConstantTenthMicrometres) {
        return Refusal{RefusalReason::BadConstant};
    }
    if (formula.kind != FormulaKind::Sum && constant != 0) return Refusal{RefusalReason::BadFormula};
    return std::nullopt;
}

bool limitInRange(int32_t stored) { return stored >= -kMaxLimitStored && stored <= kMaxLimitStored; }

}  // namespace

std::optional<RefusalReason> nameRefusal(std::string_view name) {
    if (name.empty()) return RefusalReason::EmptyName;
    if (name.size() > kMaxNameBytes) return RefusalReason::NameTooLong;
    if (name.front() == '#' || name.front() == ' ' || name.back() == ' ') return RefusalReason::NameNotAllowed;
    for (const char c : name) {
        if (forbiddenByte(c)) return RefusalReason::NameNotAllowed;
    }
    if (!validUtf8(name)) return RefusalReason::NameNotAllowed;
    return std::nullopt;
}

std::optional<Refusal> definitionRefusal(const CharacteristicDefinition& definition,
                                         std::span<const CharacteristicDefinition> others, unsigned probeCount) {
    if (const auto reason = nameRefusal(definition.name)) return Refusal{*reason};
    for (const CharacteristicDefinition& other : others) {
        if (other.name == definition.name) return Refusal{RefusalReason::NameAlreadyUsed};
    }
    if (definition.decimals > kMaxDecimals) return Refusal{RefusalReason::BadDecimals};
    if (!limitInRange(definition.lowerStored) || !limitInRange(definition.upperStored)) {
        return Refusal{RefusalReason::BadLimit};
    }
    if (definition.lowerStored > definition.upperStored) return Refusal{RefusalReason::LowerAboveUpper};
    return formulaRefusal(definition.formula, probeCount > kMaxProbes ? kMaxProbes : probeCount);
}

}  // namespace gaugemon::measure
