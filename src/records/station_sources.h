#pragma once
#include "app/language.h"
#include "display/value_text.h"
#include "link/link_state.h"
#include "records/record_sources.h"
#include "records/tolerance_judgement.h"
#include "records/tolerance_table.h"

namespace gaugemon::records {

// The record sources over the main window's own state.
class StationRecordSources : public RecordSources {
public:
    StationRecordSources(const link::LinkState& link, const display::ValueTextTable& valueTexts,
                         const AnyNgFlag& anyNg, const ToleranceTable& tolerances, const app::Language& language)
        : link_(link), valueTexts_(valueTexts), anyNg_(anyNg), tolerances_(tolerances), language_(language) {}

    bool connected() const override { return link_.connected; }
    unsigned probeCount() const override { return link::clampProbeCount(link_.probeCount); }
    const display::ValueTextTable& valueTexts() const override { return valueTexts_; }
    bool anyNg() const override { return anyNg_.isSet(); }
    app::Language language() const override { return language_; }
    LimitCounts limitCounts(unsigned probe) const override {
        const ProbeLimits& limits = tolerances_.limits(probe);
        return {limits.lslCounts, limits.uslCounts};
    }

private:
    const link::LinkState& link_;
    const display::ValueTextTable& valueTexts_;
    const AnyNgFlag& anyNg_;
    const ToleranceTable& tolerances_;
    const app::Language& language_;
};

}  // namespace gaugemon::records
