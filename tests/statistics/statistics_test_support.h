#pragma once
#include <optional>
#include <span>
#include <vector>

#include "records/record_table.h"

namespace gaugemon::statistics::test {

// A table of `probes` probes whose rows carry the given readings (each row
// the same reading on every probe unless a row list per probe is given).
struct NumberTable {
    records::RecordTable table;
    unsigned probes;

    std::vector<records::CharacteristicColumn> characteristics;

    explicit NumberTable(unsigned probeCount, std::vector<records::CharacteristicColumn> columns = {})
        : probes(probeCount), characteristics(std::move(columns)) {
        table.prepareColumns({probeCount, false, core::Language::English, characteristics});
    }
    // `values` of the characteristics after the probes', judged by `verdict` when given.
    void add(std::span<const measure::Length> readings, std::span<const std::optional<measure::Length>> values = {},
             const tolerance::Verdict* verdict = nullptr) {
        records::RowInput in{
            probes, false, measure::LengthUnit::Millimetre, false, core::Language::English, {}, {2026, 12, 8, 7, 0, 0}};
        in.verdict = verdict;
        in.readings = readings;
        in.characteristics = characteristics;
        in.characteristicValues = values;
        table.appendRow(in);
    }
    void addSame(measure::Length reading) {
        std::vector<measure::Length> row(probes, reading);
        add(row);
    }
};

}  // namespace gaugemon::statistics::test
