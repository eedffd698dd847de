#include "display/display_model.h"

#include <algorithm>

namespace gaugemon::display {

void DisplayModel::load(const core::SettingsStore& store) {
    unit_ = loadUnit(store);
    range_ = loadDisplayRange(store);
}

void DisplayModel::setChartArea(const ChartArea& area) {
    if (area == area_) return;
    area_ = area;
    redrawRequested_ = true;
}

const ChartPlan* DisplayModel::update(std::span<const measure::Length> readings, const tolerance::Verdict& verdict,
                                      const tolerance::ToleranceTable& tolerances,
                                      const CharacteristicColumns& characteristics, Shown shown) {
    const unsigned probes = static_cast<unsigned>(std::min<size_t>(readings.size(), measure::kMaxProbes));
    const unsigned computed = std::min(characteristics.count(), measure::kMaxCharacteristics);
    if (computed != characteristicColumns_) redrawRequested_ = true;
    characteristicColumns_ = computed;
    showsReadings_ = true;
    if (shown != Shown::Chart) {
        // Whatever moved meanwhile, the first chart shown is drawn whole.
        redrawRequested_ = true;
        if (shown == Shown::ValueTexts) formatTexts(readings.first(probes));
        return nullptr;
    }
    plan_.probes = probes;
    plan_.characteristics = computed;
    plan_.geometry = columnGeometry(area_.right - area_.left, plan_.columnCount());
    plan_.labelSize = labelSize(plan_.geometry.barW);
    plan_.scale = verticalScale(area_, range_);

    // Every probe is compared before the first one is drawn, so one moved
    // value redraws the whole chart.
    if (changes_.update(readings.first(probes))) redrawRequested_ = true;
    const bool redraw = redrawRequested_;

    formatTexts(readings.first(probes));
    for (unsigned i = 0; redraw && i < probes; ++i) {
        const measure::Length& reading = readings[i];
        planColumn(plan_, i, area_, reading, barExtent(reading, range_, plan_.scale), tolerances, verdict.zone(i));
    }
    for (unsigned k = 0; redraw && k < computed; ++k) {
        const std::optional<measure::Length>& value = characteristics.values->values[k];
        const measure::CharacteristicLimits& limits = characteristics.evaluator->limits(k);
        plan_.characteristicTexts[k] =
            formatCharacteristicText(value, unit_.unit, characteristics.evaluator->decimals(k));
        planCharacteristicColumn(plan_, probes + k, area_, value, range_, limits.lowerCounts, limits.upperCounts,
                                 verdict.characteristic(k));
    }
    redrawRequested_ = false;
    if (!redraw) return nullptr;
    shownNg_ = verdict.anyNg();
    planFrame(plan_, area_, range_, logoShown_, shownNg_);
    return &plan_;
}

void DisplayModel::formatTexts(std::span<const measure::Length> readings) {
    for (size_t i = 0; i < readings.size(); ++i)
        texts_[i] = formatValueText(readings[i].counts, unit_.unit, readings[i].fine());
}

RangeRefusal DisplayModel::confirmRange(float lower, float upper, core::SettingsStore& store) {
    const RangeRefusal refusal = confirmDisplayRange(lower, upper, range_, store);
    if (refusal == RangeRefusal::None) redrawRequested_ = true;
    return refusal;
}

std::optional<unsigned> DisplayModel::chartClick(bool connected, unsigned probeCount, int32_t x, int32_t y) {
    redrawRequested_ = true;
    return probeAt(connected, probeCount, x, y);
}

std::optional<unsigned> DisplayModel::probeAt(bool connected, unsigned probeCount, int32_t x, int32_t y) const {
    if (!connected) return std::nullopt;
    const unsigned probes = std::min(probeCount, measure::kMaxProbes);
    const std::optional<unsigned> column = probeAtPoint(area_, probes + characteristicColumns_, x, y);
    if (column && *column > probes) return std::nullopt;
    return column;
}

bool DisplayModel::confirmUnit(int selectedIndex, tolerance::ToleranceTable& tolerances, core::SettingsStore& store) {
    if (!display::confirmUnit(selectedIndex, unit_, tolerances, store)) return false;
    redrawRequested_ = true;
    return true;
}

}  // namespace gaugemon::display
