#include "sim/probe_bank.h"

#include <algorithm>
#include <cmath>

#include "sim/reading_encoding.h"
#include "sim/rng.h"

namespace gaugemon::sim {

namespace {
// After a long quiet spell only the latest samples are taken: the extremes of
// an hour ago are not worth a pause now.
constexpr int64_t kMaxCatchUpSamples = 1000;
}  // namespace

ProbeBank::ProbeBank(const std::vector<ProbeSetup>& setups, uint64_t seed, int64_t samplePeriodMs, int64_t nowMs)
    : seed_(seed), samplePeriodMs_(std::max<int64_t>(1, samplePeriodMs)), lastSampleMs_(nowMs) {
    probes_.reserve(setups.size());
    for (const auto& setup : setups) probes_.push_back(Probe{setup});
    for (unsigned i = 0; i < count(); ++i) restartTracking(probes_[i], i, nowMs);
}

double ProbeBank::positionUm(unsigned probe, int64_t tMs) const {
    const uint64_t noiseKey = Rng::mix(seed_, probe, 0x9B0BE);
    return sim::positionUm(probes_.at(probe).setup.signal, tMs, noiseKey, samplePeriodMs_);
}

int32_t ProbeBank::liveUnits(unsigned probe, int64_t tMs) const {
    const Probe& p = probes_.at(probe);
    const double relativeUm = positionUm(probe, tMs) - p.zeroOffsetUm;
    const double units = p.setup.fine ? relativeUm * 2.0 : relativeUm;
    const double clamped = std::clamp(units, double{-kMaxReadingMagnitude}, double{kMaxReadingMagnitude});
    return static_cast<int32_t>(std::lround(clamped));
}

void ProbeBank::restartTracking(Probe& probe, unsigned index, int64_t nowMs) {
    probe.maxUnits = probe.minUnits = liveUnits(index, nowMs);
}

void ProbeBank::sample(int64_t tMs) {
    for (unsigned i = 0; i < count(); ++i) {
        const int32_t units = liveUnits(i, tMs);
        probes_[i].maxUnits = std::max(probes_[i].maxUnits, units);
        probes_[i].minUnits = std::min(probes_[i].minUnits, units);
    }
}

void ProbeBank::advanceTo(int64_t nowMs) {
    if (nowMs - lastSampleMs_ < samplePeriodMs_) return;
    int64_t due = (nowMs - lastSampleMs_) / samplePeriodMs_;
    if (due > kMaxCatchUpSamples) {
        lastSampleMs_ += (due - kMaxCatchUpSamples) * samplePeriodMs_;
        due = kMaxCatchUpSamples;
    }
    for (int64_t i = 0; i < due; ++i) {
        lastSampleMs_ += samplePeriodMs_;
        sample(lastSampleMs_);
    }
}

void ProbeBank::setMode(DisplayMode mode, int64_t nowMs) {
    mode_ = mode;
    for (unsigned i = 0; i < count(); ++i) restartTracking(probes_[i], i, nowMs);
}

void ProbeBank::zero(unsigned probe, int64_t nowMs) {
    if (probe >= count()) return;
    probes_[probe].zeroOffsetUm = positionUm(probe, nowMs);
    restartTracking(probes_[probe], probe, nowMs);
}

void ProbeBank::zeroAll(int64_t nowMs) {
    for (unsigned i = 0; i < count(); ++i) zero(i, nowMs);
}

int32_t ProbeBank::reportedUnits(unsigned probe, int64_t nowMs) const {
    const Probe& p = probes_.at(probe);
    const int32_t live = liveUnits(probe, nowMs);
    const int32_t maxUnits = std::max(p.maxUnits, live);
    const int32_t minUnits = std::min(p.minUnits, live);
    switch (mode_) {
        case DisplayMode::RealTime: return live;
        case DisplayMode::Maximum: return maxUnits;
        case DisplayMode::Minimum: return minUnits;
        case DisplayMode::Range: return std::min(maxUnits - minUnits, kMaxReadingMagnitude);
    }
    return live;
}

void ProbeBank::setSetup(unsigned probe, const ProbeSetup& setup, int64_t nowMs) {
    if (probe >= count()) return;
    probes_[probe].setup = setup;
    restartTracking(probes_[probe], probe, nowMs);
}

}  // namespace gaugemon::sim
