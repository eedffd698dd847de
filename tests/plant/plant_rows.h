#pragma once
#include <cstdio>
#include <vector>

#include "core/settings_store.h"
#include "display/value_text.h"
#include "records/record_table.h"
#include "support/memory_settings_store.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::plant::test {

// Probe p of row k, in device counts: spread over 2.000..6.999 mm around
// the default limits 3.000..6.000, so that some probes are NG. Probe 2 reads
// at fine resolution.
inline measure::Length sampleReading(uint32_t k, unsigned probe) {
    const int32_t counts = 2000 + static_cast<int32_t>((k * 37 + probe * 11) % 5000);
    if (probe == 2) return measure::tenthMicrometres(counts * 10 + 7);
    return measure::micrometres(counts);
}

// The default limits of every probe: 3.000..6.000 mm.
struct DefaultLimits {
    DefaultLimits() { table.load(store, measure::LengthUnit::Millimetre); }
    core::MemorySettingsStore store;
    tolerance::ToleranceTable table;
};

// Records row k as the station does: the numbers and the verdict of the default limits; codes "W-k".
inline records::AppendResult appendMeasuredRow(records::RecordTable& table, uint32_t k,
                                               const tolerance::ToleranceTable& limits) {
    const unsigned probes = table.layout().probeCount;
    std::vector<measure::Length> readings;
    for (unsigned p = 1; p <= probes; ++p) readings.push_back(sampleReading(k, p));
    tolerance::Verdict verdict;
    verdict.judge(readings, limits);
    bool anyNg = false;
    for (unsigned p = 0; p < probes; ++p) anyNg = anyNg || verdict.probe(p) == tolerance::Judgement::Ng;
    const auto code = records::WorkpieceCode::fromGbk("W-" + std::to_string(k));
    const core::LocalDateTime time{2026, 12, 8, 9, static_cast<int>(k / 60 % 60), static_cast<int>(k % 60)};
    records::RowInput input{
        probes, table.layout().codeColumn, measure::LengthUnit::Millimetre, anyNg, core::Language::English, code, time};
    input.readings = readings;
    input.verdict = &verdict;
    return table.appendRow(input);
}

}  // namespace gaugemon::plant::test
