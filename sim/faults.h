#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sim/rng.h"

namespace gaugemon::sim {

enum class FaultKind : uint8_t {
    Drop,        // the answer is lost on the line (the request still takes effect)
    CorruptCrc,  // the answer's last byte is damaged
    Truncate,    // only the first part of the answer arrives
    StrayBytes,  // a few bytes of rubbish follow the answer
    Late,        // the answer comes `lateByMs` later than it should
    Noise,       // a burst of rubbish on the line ahead of the answer
    Silent,      // the instrument ignores every request for a while
    Vanish,      // the line is gone: the port fails and cannot be opened
};
constexpr unsigned kFaultKindCount = 8;

std::optional<FaultKind> faultKindNamed(std::string_view name);
std::string_view nameOf(FaultKind kind);

// When one kind of fault strikes. Each of the triggers may be combined; any of
// them firing is enough. An "opportunity" is one answer for the answer faults
// and one received request for Silent and Vanish.
struct FaultPlan {
    double rate = 0.0;   // chance per opportunity, 0..1
    uint32_t every = 0;  // every n-th opportunity (n, 2n, ...)
    uint32_t next = 0;   // the next n opportunities, counted down
    // A window of instrument time in which the fault holds throughout:
    // every answer in it is hit, or the instrument is silent/gone all along.
    int64_t fromMs = -1;   // -1: no window
    int64_t untilMs = -1;  // -1: to the end of time
    bool inWindow(int64_t nowMs) const { return fromMs >= 0 && nowMs >= fromMs && (untilMs < 0 || nowMs < untilMs); }
};

struct FaultSettings {
    std::array<FaultPlan, kFaultKindCount> plans{};
    int64_t lateByMs = 1000;
    int64_t silentForMs = 5000;  // a silence started by rate/every/next lasts this long
    int64_t vanishForMs = -1;    // a vanish started by rate/every/next; -1 for good
    unsigned maxStrayBytes = 4;
    unsigned maxNoiseBytes = 12;

    FaultPlan& operator[](FaultKind kind) { return plans[static_cast<size_t>(kind)]; }
    const FaultPlan& operator[](FaultKind kind) const { return plans[static_cast<size_t>(kind)]; }
};

// Decides, opportunity by opportunity, which faults strike. Draws come from
// its own seeded generator, so a seed replays the same faults.
class FaultInjector {
public:
    FaultInjector(const FaultSettings& settings, uint64_t seed) : settings_(settings), rng_(seed) {}

    // Counts one opportunity of `kind` and tells whether the fault strikes it.
    bool strikes(FaultKind kind, int64_t nowMs);
    // Whether a window of `kind` covers `nowMs` (no opportunity counted).
    bool windowCovers(FaultKind kind, int64_t nowMs) const { return settings_[kind].inWindow(nowMs); }

    FaultSettings& settings() { return settings_; }
    const FaultSettings& settings() const { return settings_; }
    Rng& rng() { return rng_; }

private:
    FaultSettings settings_;
    Rng rng_;
    std::array<uint64_t, kFaultKindCount> opportunities_{};
};

}  // namespace gaugemon::sim
