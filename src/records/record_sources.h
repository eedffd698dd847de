#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/language.h"
#include "measure/counts.h"
#include "measure/length.h"
#include "measure/length_unit.h"
#include "records/limit_set.h"
#include "records/record_columns.h"
#include "tolerance/verdict.h"

namespace gaugemon::records {

// What the records read from the rest of the station at the moment they act:
// the link, the display and the tolerances. The main window implements it
// over the state it owns.
class RecordSources {
public:
    virtual ~RecordSources() = default;
    virtual bool connected() const = 0;
    virtual unsigned probeCount() const = 0;
    // The unit the values are shown in.
    virtual measure::LengthUnit lengthUnit() const = 0;
    // The verdict of the latest readings: NG when any probe is out of tolerance.
    virtual bool anyNg() const = 0;
    // The readings and the verdict shown come from the connection now running:
    // false from Connect until its first reading has been shown.
    virtual bool readingsShown() const = 0;
    // The language flag as it stands.
    virtual core::Language language() const = 0;
    // `probe` is 1..60.
    virtual LimitCounts limitCounts(unsigned probe) const = 0;
    // The readings shown (probes 0..N-1) and their verdict, kept in each row
    // as numbers. Until a source gives them, rows are recorded without numbers.
    virtual std::span<const measure::Length> shownReadings() const { return {}; }
    virtual const tolerance::Verdict* shownVerdict() const { return nullptr; }
    // The characteristics recorded after the probes, their values of the
    // readings shown (judged by shownVerdict) and their limits; none by default.
    virtual std::span<const CharacteristicColumn> characteristicColumns() const { return {}; }
    virtual std::span<const std::optional<measure::Length>> shownCharacteristicValues() const { return {}; }
    // `index` is 0-based.
    virtual LimitCounts characteristicLimitCounts(unsigned /*index*/) const { return {}; }
};

// The sources as plain fields, for tests and simple wiring.
struct PlainRecordSources : RecordSources {
    bool isConnected = false;
    unsigned probes = 1;
    measure::LengthUnit shownUnit = measure::LengthUnit::Millimetre;
    bool ng = false;
    bool shown = true;
    core::Language lang = core::Language::Chinese;
    LimitCountsTable limitTable = [] {
        LimitCountsTable t{};
        t.fill({3000, 6000});
        return t;
    }();
    bool withReadings = false;
    bool judged = true;  // the verdict comes with the readings
    std::array<measure::Length, measure::kMaxProbes> readings{};
    tolerance::Verdict verdict;

    bool connected() const override { return isConnected; }
    unsigned probeCount() const override { return probes; }
    measure::LengthUnit lengthUnit() const override { return shownUnit; }
    bool anyNg() const override { return ng; }
    bool readingsShown() const override { return shown; }
    core::Language language() const override { return lang; }
    LimitCounts limitCounts(unsigned probe) const override {
        return probe >= 1 && probe <= limitTable.size() ? limitTable[probe - 1] : LimitCounts{};
    }
    std::span<const measure::Length> shownReadings() const override {
        if (!withReadings) return {};
        return std::span<const measure::Length>(readings).first(std::min<size_t>(probes, readings.size()));
    }
    const tolerance::Verdict* shownVerdict() const override { return withReadings && judged ? &verdict : nullptr; }
};

}  // namespace gaugemon::records
