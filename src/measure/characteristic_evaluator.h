#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "measure/characteristic.h"
#include "measure/counts.h"

namespace gaugemon::measure {

// Where a value lies against its limits: inside the inner share of the band,
// in its outer strips ("OK, warning"), or outside. The same rule as a probe's.
enum class Zone : uint8_t { Ok, Warning, Ng };

// The values of one answer, in the order of the definitions; a value is
// absent when a probe it needs is, or when it is beyond what a row holds.
struct CharacteristicValues {
    std::array<std::optional<Length>, kMaxCharacteristics> values{};
    unsigned count = 0;
};

// A characteristic's limits in counts of 0.001 mm, derived from the stored
// ones as a probe's are.
struct CharacteristicLimits {
    int32_t lowerCounts = 0;
    int32_t upperCounts = 0;
};

// The definitions of a setup compiled into flat arrays once, then evaluated
// for every answer without allocating. A value is fine (0.0001 mm) when any
// of its probes is, or when its formula yields fractions of a micrometre (a
// mean, a fractional weight or constant); else in micrometres, rounded half
// away from zero. A value beyond kMaxValueCounts (a probe read beyond its
// full scale) is absent.
class CharacteristicEvaluator {
public:
    // Takes the first kMaxCharacteristics definitions. A definition that
    // would be refused keeps its place but never has a value.
    void compile(const CharacteristicSetup& setup);
    unsigned count() const { return count_; }

    // `probes[i]` is the value of probe i + 1; bit i of `usableProbes` says
    // it is present and fresh. Probes beyond the span are absent.
    void evaluate(std::span<const Length> probes, uint64_t usableProbes, CharacteristicValues& out) const;

    const CharacteristicLimits& limits(unsigned index) const { return compiled_[index].limits; }
    // The decimals a value is shown with, in millimetres.
    unsigned decimals(unsigned index) const { return compiled_[index].decimals; }
    // OK when lower <= value <= upper in true length, a warning in the outer
    // strips while `preWarningShare` is 1..99 %; an index without a
    // characteristic is NG.
    Zone judge(unsigned index, Length value, int32_t preWarningShare) const;

private:
    struct Compiled {
        FormulaKind kind = FormulaKind::Sum;
        bool valid = false;
        bool fractional = false;
        uint8_t decimals = 0;
        uint16_t firstTerm = 0;
        uint16_t termCount = 0;
        uint64_t required = 0;  // bit i: probe i + 1
        int64_t constant = 0;   // 0.0001 mm
        CharacteristicLimits limits;
    };
    // The value of a present characteristic in 0.0001 mm.
    int64_t tenthsOf(const Compiled& c, std::span<const Length> probes) const;

    static constexpr unsigned kTermSlots = kMaxCharacteristics * kMaxTerms;
    std::array<Compiled, kMaxCharacteristics> compiled_{};
    std::array<uint8_t, kTermSlots> termProbe_{};  // 0-based
    std::array<double, kTermSlots> termWeight_{};
    unsigned count_ = 0;
};

// Whether `value` lies between the inner share of [lower, upper] and its
// limits (one length unit for all three); never while the share is off.
bool inWarningStrip(int64_t lower, int64_t upper, int64_t value, int32_t sharePercent);

}  // namespace gaugemon::measure
