#include "sim/signal.h"

#include <cmath>
#include <numbers>

#include "sim/rng.h"

namespace gaugemon::sim {

namespace {

// Position within the period, in [0, 1).
double phaseOf(int64_t tMs, int64_t periodMs) {
    const int64_t within = ((tMs % periodMs) + periodMs) % periodMs;
    return static_cast<double>(within) / static_cast<double>(periodMs);
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

}  // namespace

double positionUm(const Signal& s, int64_t tMs, uint64_t noiseKey, int64_t noiseSlotMs) {
    const int64_t period = s.periodMs > 0 ? s.periodMs : 1;
    switch (s.kind) {
        case SignalKind::Constant: return s.levelUm;
        case SignalKind::Ramp: return s.levelUm + s.amplitudeUm * phaseOf(tMs + s.startMs, period);
        case SignalKind::Sine:
            return s.levelUm + s.amplitudeUm * std::sin(2.0 * std::numbers::pi * phaseOf(tMs + s.startMs, period));
        case SignalKind::Noise: {
            const int64_t slot = floorDiv(tMs, noiseSlotMs > 0 ? noiseSlotMs : 1);
            Rng rng(Rng::mix(noiseKey, static_cast<uint64_t>(slot), 0x5EED));
            return s.levelUm + s.amplitudeUm * (2.0 * rng.uniform() - 1.0);
        }
        case SignalKind::Step: {
            if (tMs < s.startMs) return s.levelUm;
            if (s.periodMs <= 0) return s.levelUm + s.amplitudeUm;
            const bool high = (floorDiv(tMs - s.startMs, s.periodMs) % 2) == 0;
            return high ? s.levelUm + s.amplitudeUm : s.levelUm;
        }
    }
    return s.levelUm;
}

namespace {
struct KindName {
    SignalKind kind;
    std::string_view name;
};
constexpr KindName kKindNames[] = {{SignalKind::Constant, "constant"},
                                   {SignalKind::Ramp, "ramp"},
                                   {SignalKind::Sine, "sine"},
                                   {SignalKind::Noise, "noise"},
                                   {SignalKind::Step, "step"}};
}  // namespace

std::optional<SignalKind> signalKindNamed(std::string_view name) {
    if (name == "const") return SignalKind::Constant;
    for (const auto& entry : kKindNames) {
        if (entry.name == name) return entry.kind;
    }
    return std::nullopt;
}

std::string_view nameOf(SignalKind kind) {
    for (const auto& entry : kKindNames) {
        if (entry.kind == kind) return entry.name;
    }
    return "?";
}

}  // namespace gaugemon::sim
