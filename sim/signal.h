#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace gaugemon::sim {

// What moves a probe: its position over time, in micrometres.
enum class SignalKind : uint8_t {
    Constant,  // level
    Ramp,      // saw tooth: level rising by amplitude over each period
    Sine,      // level + amplitude * sin(2 pi t / period)
    Noise,     // level + uniform noise of +-amplitude, new every sample period
    Step,      // level until startMs, then level + amplitude; with a period it
               // toggles between the two every period from then on
};

struct Signal {
    SignalKind kind = SignalKind::Constant;
    double levelUm = 0.0;
    double amplitudeUm = 0.0;
    int64_t periodMs = 2000;
    int64_t startMs = 0;  // shifts the ramp and the sine; the moment of the step
};

// The position at `tMs`. `noiseKey` decides the noise, so the same key and
// time give the same value however often and in whatever order it is asked.
double positionUm(const Signal& signal, int64_t tMs, uint64_t noiseKey, int64_t noiseSlotMs);

std::optional<SignalKind> signalKindNamed(std::string_view name);
std::string_view nameOf(SignalKind kind);

}  // namespace gaugemon::sim
