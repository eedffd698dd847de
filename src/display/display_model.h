#pragma once
#include <algorithm>
#include <optional>
#include <span>

#include "core/settings_store.h"
#include "display/change_detection.h"
#include "display/chart_area.h"
#include "display/chart_plan.h"
#include "display/display_actions.h"
#include "display/display_range.h"
#include "display/value_text.h"
#include "measure/characteristic_evaluator.h"
#include "measure/length.h"
#include "tolerance/tolerance_judgement.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::display {

// The characteristics of an answer as the chart shows them after the probes:
// their values, and their limits and decimals; the verdict holds their zones.
struct CharacteristicColumns {
    const measure::CharacteristicValues* values = nullptr;
    const measure::CharacteristicEvaluator* evaluator = nullptr;
    unsigned count() const { return values && evaluator ? std::min(values->count, evaluator->count()) : 0; }
};

// What a view over the display shows of it. The chart's plan and the value
// texts cost the most of a poll cycle; a station nobody watches (or watches
// only through the texts) has them made for no one.
enum class Shown : uint8_t { Nothing = 0, ValueTexts = 1, Chart = 2 };

// The display state of the main window and everything of a display update
// except the painting: value texts, change detection, judgement and the plan
// of what to draw. The operator's range, click and unit actions act on it.
class DisplayModel {
public:
    // Unit and display range from the settings, as at start-up.
    void load(const core::SettingsStore& store);

    // One display update with the readings of a decoded frame (probes
    // 0..N-1), the characteristics computed from them and their verdict.
    // Rewrites the value texts; when a value moved or a redraw was
    // requested, returns the plan of the redraw, else null. A characteristic
    // moves only with its probes; a change of their definitions asks for a
    // redraw. Only what `shown` names is made: without the chart no plan
    // (the next update that shows it redraws it whole), without the texts
    // they keep what they last said.
    const ChartPlan* update(std::span<const measure::Length> readings, const tolerance::Verdict& verdict,
                            const tolerance::ToleranceTable& tolerances,
                            const CharacteristicColumns& characteristics = {}, Shown shown = Shown::Chart);

    // Any part may ask for the whole chart at the next update.
    void requestRedraw() { redrawRequested_ = true; }
    bool redrawRequested() const { return redrawRequested_; }

    const ValueTextTable& valueTexts() const { return texts_; }
    // Whether the value texts come from the connection now running: false
    // from Connect until its first reading has been shown.
    bool showsReadings() const { return showsReadings_; }
    void forgetReadings() { showsReadings_ = false; }
    // The verdict the chart shows: that of the readings it last drew.
    bool anyNg() const { return shownNg_; }

    const ChartArea& chartArea() const { return area_; }
    void setChartArea(const ChartArea& area);
    const DisplayRange& displayRange() const { return range_; }
    measure::LengthUnit unit() const { return unit_.unit; }
    const UnitState& unitState() const { return unit_; }
    // While the logo is shown it covers the verdict box, which is then not drawn.
    void setLogoShown(bool shown) { logoShown_ = shown; }
    bool logoShown() const { return logoShown_; }

    // The range confirmation with the parsed field values. Null when the new
    // range was stored: a redraw is then requested and the caller clears the
    // plot. Otherwise the message to show.
    RangeRefusal confirmRange(float lower, float upper, core::SettingsStore& store);

    // A left click at client (x, y): always requests a redraw; while
    // connected, yields the probe under the point, if any.
    std::optional<unsigned> chartClick(bool connected, unsigned probeCount, int32_t x, int32_t y);
    // The probe under client (x, y) while connected, if any; none over the
    // columns of the characteristics.
    std::optional<unsigned> probeAt(bool connected, unsigned probeCount, int32_t x, int32_t y) const;

    // The unit confirmation with the selector's index; requests a redraw
    // unless the index was ignored. True when accepted.
    bool confirmUnit(int selectedIndex, tolerance::ToleranceTable& tolerances, core::SettingsStore& store);

private:
    void formatTexts(std::span<const measure::Length> readings);

    ValueTextTable texts_{};
    ChangeDetector changes_;
    ChartArea area_;
    DisplayRange range_;
    UnitState unit_;
    bool redrawRequested_ = false;
    bool logoShown_ = false;
    bool showsReadings_ = false;
    bool shownNg_ = false;
    // The characteristics' columns last laid out, after the probes'.
    unsigned characteristicColumns_ = 0;
    ChartPlan plan_;
};

}  // namespace gaugemon::display
