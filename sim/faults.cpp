#include "sim/faults.h"

namespace gaugemon::sim {

namespace {
struct KindName {
    FaultKind kind;
    std::string_view name;
};
constexpr KindName kKindNames[] = {
    {FaultKind::Drop, "drop"},        {FaultKind::CorruptCrc, "crc"}, {FaultKind::Truncate, "truncate"},
    {FaultKind::StrayBytes, "stray"}, {FaultKind::Late, "late"},      {FaultKind::Noise, "noise"},
    {FaultKind::Silent, "silent"},    {FaultKind::Vanish, "vanish"},
};
}  // namespace

std::optional<FaultKind> faultKindNamed(std::string_view name) {
    for (const auto& entry : kKindNames) {
        if (entry.name == name) return entry.kind;
    }
    return std::nullopt;
}

std::string_view nameOf(FaultKind kind) {
    for (const auto& entry : kKindNames) {
        if (entry.kind == kind) return entry.name;
    }
    return "?";
}

bool FaultInjector::strikes(FaultKind kind, int64_t nowMs) {
    FaultPlan& plan = settings_[kind];
    const uint64_t count = ++opportunities_[static_cast<size_t>(kind)];
    bool hit = plan.inWindow(nowMs);
    if (plan.next > 0) {
        --plan.next;
        hit = true;
    }
    if (plan.every > 0 && count % plan.every == 0) hit = true;
    // Drawn whenever a rate is set, hit or not, so one trigger does not shift
    // the random faults that follow it.
    if (plan.rate > 0.0 && rng_.uniform() < plan.rate) hit = true;
    return hit;
}

}  // namespace gaugemon::sim
