#include "measure/characteristic_evaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "measure/characteristic_validation.h"

namespace gaugemon::measure {

namespace {

// a / b rounded half away from zero; b > 0.
int64_t divideRounded(int64_t a, int64_t b) {
    const int64_t half = b / 2;
    return (a < 0 ? a - half : a + half) / b;
}

// A value a row could not keep is no value: a saturated one would be a
// wrong number, and each view would show another.
std::optional<Length> lengthOf(int64_t tenths, bool fine) {
    const int64_t counts = fine ? tenths : divideRounded(tenths, kFinePerStandardCount);
    if (counts > kMaxValueCounts || counts < -kMaxValueCounts) return std::nullopt;
    return Length{static_cast<int32_t>(counts), fine ? Resolution::TenthMicrometre : Resolution::Micrometre};
}

bool fractionalFormula(const Formula& formula) {
    if (formula.kind == FormulaKind::Mean) return formula.terms.size() > 1;
    if (formula.kind != FormulaKind::Sum) return false;
    if (formula.constant.tenthMicrometres() % kFinePerStandardCount != 0) return true;
    return std::any_of(formula.terms.begin(), formula.terms.end(),
                       [](const FormulaTerm& t) { return t.weight != std::trunc(t.weight); });
}

}  // namespace

bool inWarningStrip(int64_t lower, int64_t upper, int64_t value, int32_t sharePercent) {
    if (sharePercent < 1 || sharePercent > 99 || value < lower || value > upper) return false;
    // |v - middle| > share * (upper - lower) / 2, kept in integers.
    const int64_t offCentre = 200 * value - 100 * (lower + upper);
    return (offCentre < 0 ? -offCentre : offCentre) > sharePercent * (upper - lower);
}

void CharacteristicEvaluator::compile(const CharacteristicSetup& setup) {
    count_ = static_cast<unsigned>(std::min<size_t>(setup.definitions.size(), kMaxCharacteristics));
    uint16_t nextTerm = 0;
    for (unsigned i = 0; i < count_; ++i) {
        const CharacteristicDefinition& d = setup.definitions[i];
        Compiled& c = compiled_[i];
        c = Compiled{};
        c.limits = {limitCountsFromStored(d.lowerStored, setup.unit), limitCountsFromStored(d.upperStored, setup.unit)};
        c.decimals = static_cast<uint8_t>(std::min(d.decimals, kMaxDecimals));
        // Names are not compared here: a repeated name is the editor's concern, not the arithmetic's.
        if (definitionRefusal(d, {}, kMaxProbes)) continue;
        c.valid = true;
        c.kind = d.formula.kind;
        c.fractional = fractionalFormula(d.formula);
        c.constant = d.formula.constant.tenthMicrometres();
        c.firstTerm = nextTerm;
        c.termCount = static_cast<uint16_t>(d.formula.terms.size());
        for (const FormulaTerm& t : d.formula.terms) {
            termProbe_[nextTerm] = static_cast<uint8_t>(t.probe - 1);
            termWeight_[nextTerm] = t.weight;
            c.required |= uint64_t{1} << (t.probe - 1);
            ++nextTerm;
        }
    }
}

void CharacteristicEvaluator::evaluate(std::span<const Length> probes, uint64_t usableProbes,
                                       CharacteristicValues& out) const {
    if (probes.size() < 64) usableProbes &= (uint64_t{1} << probes.size()) - 1;
    uint64_t fineProbes = 0;
    const size_t known = std::min<size_t>(probes.size(), kMaxProbes);
    for (size_t p = 0; p < known; ++p) fineProbes |= uint64_t{probes[p].fine()} << p;
    out.count = count_;
    for (unsigned i = 0; i < count_; ++i) {
        const Compiled& c = compiled_[i];
        if (!c.valid || (c.required & ~usableProbes) != 0) {
            out.values[i] = std::nullopt;
            continue;
        }
        const bool fine = c.fractional || (c.required & fineProbes) != 0;
        out.values[i] = lengthOf(tenthsOf(c, probes), fine);
    }
}

int64_t CharacteristicEvaluator::tenthsOf(const Compiled& c, std::span<const Length> probes) const {
    const unsigned end = c.firstTerm + c.termCount;
    switch (c.kind) {
        case FormulaKind::Sum: {
            // Exact for whole weights: every partial sum stays far below 2^53.
            // Two sums halve the chain of dependent additions.
            double even = 0.0, odd = 0.0;
            unsigned t = c.firstTerm;
            for (; t + 1 < end; t += 2) {
                even += termWeight_[t] * static_cast<double>(probes[termProbe_[t]].tenthMicrometres());
                odd += termWeight_[t + 1] * static_cast<double>(probes[termProbe_[t + 1]].tenthMicrometres());
            }
            if (t < end) even += termWeight_[t] * static_cast<double>(probes[termProbe_[t]].tenthMicrometres());
            return std::llround(even + odd) + c.constant;
        }
        case FormulaKind::Mean: {
            int64_t sum = 0;
            for (unsigned t = c.firstTerm; t < end; ++t) sum += probes[termProbe_[t]].tenthMicrometres();
            return divideRounded(sum, c.termCount);
        }
        case FormulaKind::Max:
        case FormulaKind::Min:
        case FormulaKind::Range: {
            int64_t highest = std::numeric_limits<int64_t>::min();
            int64_t lowest = std::numeric_limits<int64_t>::max();
            for (unsigned t = c.firstTerm; t < end; ++t) {
                const int64_t v = probes[termProbe_[t]].tenthMicrometres();
                highest = std::max(highest, v);
                lowest = std::min(lowest, v);
            }
            if (c.kind == FormulaKind::Max) return highest;
            return c.kind == FormulaKind::Min ? lowest : highest - lowest;
        }
    }
    return 0;
}

Zone CharacteristicEvaluator::judge(unsigned index, Length value, int32_t preWarningShare) const {
    if (index >= count_) return Zone::Ng;
    const CharacteristicLimits& l = compiled_[index].limits;
    const int64_t lower = int64_t{l.lowerCounts} * kFinePerStandardCount;
    const int64_t upper = int64_t{l.upperCounts} * kFinePerStandardCount;
    const int64_t v = value.tenthMicrometres();
    if (v < lower || v > upper) return Zone::Ng;
    return inWarningStrip(lower, upper, v, preWarningShare) ? Zone::Warning : Zone::Ok;
}

}  // namespace gaugemon::measure
