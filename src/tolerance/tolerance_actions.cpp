#include "tolerance/tolerance_actions.h"

#include "tolerance/tolerance_entry.h"

namespace gaugemon::tolerance {

namespace {

const char* probeOutOfRange(core::Language language) {
    return core::pick(language, "Num must be 1~60!", "序号必须为1~60!");
}
const char* lowerAboveUpper(core::Language language) {
    return core::pick(language, "Make sure LSL <=USL", "下公差必须小于上公差!");
}
const char* limitOutOfRange(core::Language language) {
    return core::pick(language, "LSL/USL out of range!", "公差超出范围!");
}

}  // namespace

LimitChange applyProbeLimits(ToleranceTable& table, const LimitEntry& entry, LengthUnit unit, core::Language language,
                             core::SettingsStore& store) {
    if (!ToleranceTable::validProbe(entry.probe)) return {false, probeOutOfRange(language)};
    if (entry.lower > entry.upper) return {false, lowerAboveUpper(language)};
    const std::optional<int32_t> lsl = displayFromEntry(entry.lower, unit);
    const std::optional<int32_t> usl = displayFromEntry(entry.upper, unit);
    if (!lsl || !usl) return {false, limitOutOfRange(language)};
    table.setDisplayLimits(entry.probe, *lsl, *usl, unit, store);
    return {true, nullptr};
}

void copyFirstProbeLimits(ToleranceTable& table, LengthUnit unit, core::SettingsStore& store) {
    const ProbeLimits first = table.limits(1);
    core::SettingsBatch batch(store);
    for (unsigned probe = 2; probe <= kToleranceProbes; ++probe) {
        table.setDisplayLimits(probe, first.lslDisplay, first.uslDisplay, unit, store);
    }
}

std::optional<LimitFields> ToleranceSelection::follow(int selectionMark, const ToleranceTable& table, LengthUnit unit) {
    unsigned probe = selectionMark < 0 ? 1u : static_cast<unsigned>(selectionMark) + 1u;
    if (!ToleranceTable::validProbe(probe)) probe = 1;
    if (probe == lastLoaded_) return std::nullopt;
    lastLoaded_ = probe;
    const ProbeLimits& limits = table.limits(probe);
    return LimitFields{probe, limitFieldValue(limits.lslDisplay, unit), limitFieldValue(limits.uslDisplay, unit)};
}

}  // namespace gaugemon::tolerance
