#include "exchange/export_plan.h"

#include "records/table_file.h"

namespace gaugemon::exchange {

ExportPlan planExport(const records::RecordTable& table, const records::RecordSources& sources, bool codeInputNow,
                      LengthUnit unit) {
    const records::HeaderSpec spec = records::headerSpecFor(table, sources, codeInputNow);
    ExportPlan plan;
    plan.probeCount = spec.probeCount;
    plan.codeColumn = spec.codeColumn;
    plan.unit = unit;
    plan.language = spec.language;
    for (unsigned k = 0; k < measure::kMaxProbes; ++k) {
        plan.lower[k] = limitInUnit(spec.limits[k].lower, unit);
        plan.upper[k] = limitInUnit(spec.limits[k].upper, unit);
    }
    const records::TableLayout titled{spec.probeCount, spec.codeColumn, spec.language, spec.characteristics};
    for (unsigned k = 0; k < titled.characteristicCount() && k < measure::kMaxCharacteristics; ++k) {
        plan.characteristicTitles.push_back(records::characteristicTitle(titled, k));
        const unsigned decimals = spec.characteristics[k].decimals;
        plan.characteristicLower[k] = characteristicLimitInUnit(spec.characteristicLimits[k].lower, decimals, unit);
        plan.characteristicUpper[k] = characteristicLimitInUnit(spec.characteristicLimits[k].upper, decimals, unit);
    }
    return plan;
}

std::optional<ScaledNumber> characteristicValue(const records::RowView& row, unsigned index, LengthUnit unit) {
    const records::ProbeNumber recorded = row.characteristic(index);
    const auto shown = parseCharacteristicText(row.characteristicText(index).text());
    if (!recorded.present || !shown) return std::nullopt;
    return inUnit({*shown, recorded.unit}, unit);
}

}  // namespace gaugemon::exchange
