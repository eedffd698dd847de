#include "measure/characteristic_validation.h"

#include <array>
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

// The code point whose UTF-8 sequence begins at text[at], and its length; a
// length of 0 when no valid sequence begins there.
struct CodePoint {
    char32_t code = 0;
    unsigned length = 0;
};

CodePoint codePointAt(std::string_view text, size_t at) {
    const auto byte = [text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned length = sequenceLength(byte(at));
    if (length == 0 || at + length > text.size()) return {};
    char32_t code = byte(at) & (0x7Fu >> length);
    for (unsigned k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return {};
        code = code << 6 | (byte(at + k) & 0x3Fu);
    }
    // An overlong form, a surrogate or a code point beyond Unicode is no UTF-8.
    constexpr std::array<char32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return {};
    return {code, length};
}

bool c1Control(char32_t c) { return c >= 0x80 && c <= 0x9F; }

// Characters that show nothing yet change what a name looks like or how it
// is laid out: zero-width ones, the soft hyphen, and the marks, embeddings,
// overrides and isolates of the writing direction.
bool invisible(char32_t c) {
    return c == 0xAD || c == 0x61C || c == 0x180E || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// A spreadsheet that opens a file takes a cell beginning with one of these
// for a formula and runs it.
bool formulaLead(char c) { return c == '=' || c == '+' || c == '-' || c == '@'; }

bool forbiddenByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == ';' || c == ',' || c == '"';
}

// The bound of the interval the formula's value lies in while every probe
// lies within its full scale, in 0.0001 mm. A probe named twice counts twice.
double largestMagnitude(const Formula& formula) {
    const auto fullScale = static_cast<double>(kProbeFullScaleTenthMicrometres);
    switch (formula.kind) {
        case FormulaKind::Sum: {
            double bound = std::fabs(static_cast<double>(formula.constant.tenthMicrometres()));
            for (const FormulaTerm& term : formula.terms) bound += std::fabs(term.weight) * fullScale;
            return bound;
        }
        case FormulaKind::Range: return 2 * fullScale;
        case FormulaKind::Mean:
        case FormulaKind::Max:
        case FormulaKind::Min: break;
    }
    return fullScale;
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
    // Any probe may be fine, so the value may be in 0.0001 mm: the narrower range.
    if (largestMagnitude(formula) > static_cast<double>(kMaxValueCounts)) {
        return Refusal{RefusalReason::ValueBeyondRange};
    }
    return std::nullopt;
}

bool limitInRange(int32_t stored) { return stored >= -kMaxLimitStored && stored <= kMaxLimitStored; }

}  // namespace

std::optional<RefusalReason> nameRefusal(std::string_view name) {
    if (name.empty()) return RefusalReason::EmptyName;
    if (name.size() > kMaxNameBytes) return RefusalReason::NameTooLong;
    if (name.front() == '#' || name.front() == ' ' || name.back() == ' ') return RefusalReason::NameNotAllowed;
    if (formulaLead(name.front())) return RefusalReason::NameLikeFormula;
    for (const char c : name) {
        if (forbiddenByte(c)) return RefusalReason::NameNotAllowed;
    }
    for (size_t i = 0; i < name.size();) {
        const CodePoint point = codePointAt(name, i);
        if (point.length == 0 || c1Control(point.code)) return RefusalReason::NameNotAllowed;
        if (invisible(point.code)) return RefusalReason::NameInvisible;
        i += point.length;
    }
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
