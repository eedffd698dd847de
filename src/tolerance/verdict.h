#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/settings_store.h"
#include "measure/characteristic_evaluator.h"
#include "measure/counts.h"
#include "measure/length.h"
#include "tolerance/tolerance_judgement.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::tolerance {

// Where a reading lies: inside the inner share of its tolerance band, in
// the outer strips of the band ("OK, warning"), or outside the band.
enum class Zone : uint8_t { Ok, Warning, Ng };

// The warning strips of every band: a reading within `sharePercent` of the
// band, centred on its middle, is plainly OK; between that and a limit it is
// OK with a warning. Off unless a share of 1..99 % is set; off, nothing is
// ever in the warning zone.
struct PreWarning {
    static constexpr int32_t kOff = 0;
    static constexpr int32_t kDefaultShare = 80;
    int32_t sharePercent = kOff;

    bool on() const { return sharePercent >= 1 && sharePercent <= 99; }
    bool operator==(const PreWarning&) const = default;
};

namespace keys {
// The share in percent; 0 (the default) or any value outside 1..99 is off.
inline constexpr std::string_view kPreWarn = "PreWarn";
}  // namespace keys

// A stored share outside 1..99 reads as off.
PreWarning loadPreWarning(const core::SettingsStore& store);
// Stores the share (0 for off); false when the store refused the write.
bool storePreWarning(core::SettingsStore& store, PreWarning preWarning);

// Whether `value` lies between the inner share of the band [lower, upper]
// and its limits (any one length unit); never while pre-warning is off.
bool inWarningStrip(int64_t lower, int64_t upper, int64_t value, PreWarning preWarning);

// The zone of one reading of `probe` (1..60): NG exactly when the judgement
// is, a warning only while pre-warning is on.
Zone zoneOf(const ToleranceTable& limits, unsigned probe, const measure::Length& reading, PreWarning preWarning);

// The OK/NG verdict of one set of readings: each probe against its limits,
// then each characteristic computed from them against its own, and the whole
// set, NG when any probe or characteristic is. A characteristic whose value
// cannot be computed (a probe it needs is absent) cannot pass: it is NG. The
// chart colours its columns from it and a recorded row takes its result from
// it. Pre-warning adds a zone to each value and never changes the OK/NG
// verdict.
class Verdict {
public:
    // Judges probes 1..readings.size() (at most 60); no characteristic is
    // judged until judgeCharacteristics.
    void judge(std::span<const measure::Length> readings, const ToleranceTable& limits);
    // Judges the characteristics of the same answer, after judge().
    void judgeCharacteristics(const measure::CharacteristicValues& values,
                              const measure::CharacteristicEvaluator& evaluator);

    // `index` is 0-based; a probe not judged is NG.
    Judgement probe(unsigned index) const { return index < count_ ? probes_[index] : Judgement::Ng; }
    Zone zone(unsigned index) const { return index < count_ ? zones_[index] : Zone::Ng; }
    bool anyNg() const { return anyNg_; }
    unsigned characteristicCount() const { return characteristicCount_; }
    // `index` is 0-based; a characteristic not judged, or without a value, is NG.
    Zone characteristic(unsigned index) const {
        return index < characteristicCount_ ? characteristicZones_[index] : Zone::Ng;
    }

    // Takes effect at the next judge().
    void setPreWarning(PreWarning preWarning) { preWarning_ = preWarning; }
    PreWarning preWarning() const { return preWarning_; }

private:
    std::array<Judgement, measure::kMaxProbes> probes_{};
    std::array<Zone, measure::kMaxProbes> zones_{};
    unsigned count_ = 0;
    std::array<Zone, measure::kMaxCharacteristics> characteristicZones_{};
    unsigned characteristicCount_ = 0;
    bool anyNg_ = false;
    PreWarning preWarning_;
};

}  // namespace gaugemon::tolerance
