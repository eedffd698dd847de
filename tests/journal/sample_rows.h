#pragma once
#include <algorithm>
#include <cstdio>
#include <string>

#include "display/value_text.h"
#include "records/record_table.h"
#include "records/workpiece_code.h"

namespace gaugemon::journal::test {

// Rows that differ in every field from one to the next, the same in every
// process: row k of a sample run.
inline display::ValueTextTable sampleValues(uint32_t k) {
    display::ValueTextTable texts{};
    for (unsigned probe = 0; probe < texts.size(); ++probe) {
        char text[16];
        std::snprintf(text, sizeof text, "%+7.3f ", static_cast<double>((k * 61 + probe * 7) % 9000) / 1000.0 - 4.0);
        std::copy_n(text, 8, texts[probe].slot.data());
    }
    return texts;
}

inline records::AppendResult appendSampleRow(records::RecordTable& table, uint32_t k) {
    const display::ValueTextTable texts = sampleValues(k);
    const auto code = records::WorkpieceCode::fromGbk(k % 3 == 0 ? "0" + std::to_string(k) : "W-" + std::to_string(k));
    const core::LocalDateTime time{
        2026, 12, 8, 5 + static_cast<int>(k / 3600), static_cast<int>(k / 60 % 60), static_cast<int>(k % 60)};
    const records::RowInput input{
        table.layout().probeCount, table.layout().codeColumn, texts, k % 4 == 1, table.layout().language, code, time};
    return table.appendRow(input);
}

inline records::TableLayout sampleLayout(unsigned probes = 60, bool code = true) {
    return {probes, code, core::Language::Chinese};
}

}  // namespace gaugemon::journal::test
