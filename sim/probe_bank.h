#pragma once
#include <cstdint>
#include <vector>

#include "sim/signal.h"

namespace gaugemon::sim {

struct ProbeSetup {
    Signal signal;
    bool fine = false;  // reports in 0.0005 mm with the fine-resolution marker
};

// What the instrument reports as a probe's value, register 0x3036.
enum class DisplayMode : uint8_t { RealTime = 0, Maximum = 1, Minimum = 2, Range = 3 };
constexpr uint8_t kDisplayModeCount = 4;

// The instrument's probes: each follows its signal, is reported relative to
// its zero and in the instrument's display mode. Maximum and minimum are taken
// over samples every `samplePeriodMs` since the mode was set or the probe was
// zeroed, caught up lazily when the instrument is next asked.
class ProbeBank {
public:
    ProbeBank(const std::vector<ProbeSetup>& setups, uint64_t seed, int64_t samplePeriodMs, int64_t nowMs);

    unsigned count() const { return static_cast<unsigned>(probes_.size()); }
    void advanceTo(int64_t nowMs);

    void setMode(DisplayMode mode, int64_t nowMs);
    DisplayMode mode() const { return mode_; }
    void zero(unsigned probe, int64_t nowMs);
    void zeroAll(int64_t nowMs);

    // The value the instrument reports now, in the probe's own units
    // (0.001 mm, or 0.0005 mm on a fine probe). Call advanceTo(nowMs) first.
    int32_t reportedUnits(unsigned probe, int64_t nowMs) const;
    // The real-time value relative to the zero, in the probe's own units.
    int32_t liveUnits(unsigned probe, int64_t tMs) const;

    double positionUm(unsigned probe, int64_t tMs) const;
    double zeroOffsetUm(unsigned probe) const { return probes_.at(probe).zeroOffsetUm; }
    const ProbeSetup& setup(unsigned probe) const { return probes_.at(probe).setup; }
    void setSetup(unsigned probe, const ProbeSetup& setup, int64_t nowMs);

private:
    struct Probe {
        ProbeSetup setup;
        double zeroOffsetUm = 0.0;
        int32_t maxUnits = 0;
        int32_t minUnits = 0;
    };
    void restartTracking(Probe& probe, unsigned index, int64_t nowMs);
    void sample(int64_t tMs);

    std::vector<Probe> probes_;
    uint64_t seed_;
    int64_t samplePeriodMs_;
    int64_t lastSampleMs_;
    DisplayMode mode_ = DisplayMode::RealTime;
};

}  // namespace gaugemon::sim
