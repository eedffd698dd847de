#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/language.h"
#include "exchange/shown_value.h"
#include "measure/counts.h"
#include "records/atomic_file.h"
#include "records/record_sources.h"
#include "records/record_table.h"

namespace gaugemon::exchange {

// What the operator chose for an exchange file besides its name.
struct ExchangeOptions {
    LengthUnit unit = LengthUnit::Millimetre;  // of the values and limits written
    std::string partNumber;                    // UTF-8, the transfer file's part block
    std::string partDescription;
    std::string stationName;  // K1001 when there is no part number
};

// The columns of a file written now and every probe's limits in the unit of
// the file, taken once before the rows are written.
struct ExportPlan {
    unsigned probeCount = 0;
    bool codeColumn = false;
    LengthUnit unit = LengthUnit::Millimetre;
    core::Language language = core::Language::Chinese;
    std::array<ScaledNumber, measure::kMaxProbes> lower{};
    std::array<ScaledNumber, measure::kMaxProbes> upper{};
    // The characteristics after the probes: titles (UTF-8) and limits.
    std::vector<std::string> characteristicTitles;
    std::array<ScaledNumber, measure::kMaxCharacteristics> characteristicLower{};
    std::array<ScaledNumber, measure::kMaxCharacteristics> characteristicUpper{};

    unsigned characteristicCount() const { return static_cast<unsigned>(characteristicTitles.size()); }

    // `probe` is 0-based; the value is in the plan's unit. Within the limits
    // when lower <= value <= upper, the station's rule, compared with the
    // limits the file shows.
    bool outOfTolerance(unsigned probe, const ScaledNumber& value) const {
        return value.units < lower[probe].units || value.units > upper[probe].units;
    }
};

// Characteristic `index` (0-based, below the row shape's count) of `row` in
// `unit`, as the chart showed it; nothing for a value that could not be computed.
std::optional<ScaledNumber> characteristicValue(const records::RowView& row, unsigned index, LengthUnit unit);

// How writing an exchange file ended: written, refused before anything was
// written (`refusal` says why, in the language of the moment), or failed
// while writing (`file` says where and why). A refused or failed write
// leaves the previous file as it was.
struct ExchangeResult {
    records::FileWriteResult file;
    std::string refusal;
    bool ok() const { return file.ok; }
};

// The rows decide the columns as they do for the record files; with no rows,
// the link's probe count and the code input of the moment.
ExportPlan planExport(const records::RecordTable& table, const records::RecordSources& sources, bool codeInputNow,
                      LengthUnit unit);

}  // namespace gaugemon::exchange
