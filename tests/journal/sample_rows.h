#pragma once
#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <string>

#include "display/value_text.h"
#include "records/record_table.h"
#include "records/workpiece_code.h"

namespace gaugemon::journal::test {

// Rows that differ in every field from one to the next, the same in every
// process: row k of a sample run.
inline std::array<measure::Length, measure::kMaxProbes> sampleValues(uint32_t k) {
    std::array<measure::Length, measure::kMaxProbes> values{};
    for (unsigned probe = 0; probe < values.size(); ++probe)
        values[probe] = measure::micrometres(static_cast<int32_t>((k * 61 + probe * 7) % 9000) - 4000);
    return values;
}

inline records::AppendResult appendSampleRow(records::RecordTable& table, uint32_t k) {
    const auto values = sampleValues(k);
    const auto code = records::WorkpieceCode::fromGbk(k % 3 == 0 ? "0" + std::to_string(k) : "W-" + std::to_string(k));
    const core::LocalDateTime time{
        2026, 12, 8, 5 + static_cast<int>(k / 3600), static_cast<int>(k / 60 % 60), static_cast<int>(k % 60)};
    const records::RowInput input{table.layout().probeCount,
                                  table.layout().codeColumn,
                                  measure::LengthUnit::Millimetre,
                                  k % 4 == 1,
                                  table.layout().language,
                                  code,
                                  time,
                                  std::span(values).first(table.layout().probeCount)};
    return table.appendRow(input);
}

inline records::TableLayout sampleLayout(unsigned probes = 60, bool code = true) {
    return {probes, code, core::Language::Chinese};
}

}  // namespace gaugemon::journal::test
