#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "measure/counts.h"
#include "records/record_table.h"
#include "statistics/exact_moments.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::statistics {

// The short-term sigma of individual values is the average moving range
// over this constant (d2 for ranges of two).
inline constexpr double kMovingRangeD2 = 1.128;
// A process below this Cpk is not held capable.
inline constexpr double kCapableCpk = 1.33;

// A value's limits in 0.001 mm; a reversed pair stands for no usable band.
struct Band {
    int32_t lower = 0;
    int32_t upper = 0;
    bool valid() const { return lower <= upper; }
    bool operator==(const Band&) const = default;
};

// What the statistics window shows of one probe or characteristic. Lengths are in
// millimetres; a figure without a value is undefined (too few readings, no
// spread, no usable band) and is shown as a dash.
struct ProbeFigures {
    // Readings in the rows considered, and rows that were judged NG without
    // one (a characteristic that could not be computed).
    uint64_t count = 0;
    uint64_t ngCount = 0;  // of them outside the value's limits as they stand, or without a reading
    std::optional<double> mean;
    std::optional<double> stdDev;  // sample standard deviation, the overall sigma
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> range;
    std::optional<double> ngShare;  // 0..1
    std::optional<double> cp;
    std::optional<double> cpk;
    std::optional<double> pp;
    std::optional<double> ppk;
    double lsl = 0;  // the band as it stands, mm
    double usl = 0;
    bool bandValid = true;
    // The zone of the value's newest reading under the limits and the
    // pre-warning as they stand.
    std::optional<tolerance::Zone> latestZone;
    bool operator==(const ProbeFigures&) const = default;
};

// Statistics of every probe and characteristic over the rows of the record
// table, or over the last K of them: kept up to date row by row (a few
// additions per value), started
// over when the table is cleared or rebuilt, counted again when the limits
// or the window change. Lengths are summed as integers of 0.0001 mm, so
// standard and fine-resolution readings of a probe share one scale and no
// sum loses precision. A characteristic that could not be computed in a row
// is no reading of it, but the row counts, and counts as NG, as it did when
// it was recorded.
class ProcessStatistics {
public:
    // Only the newest `windowRows` rows count; 0 means every row.
    explicit ProcessStatistics(uint32_t windowRows = 0);

    // Takes in the rows added since the last call, or starts over when the
    // table was emptied or rebuilt meanwhile; at most `maxRows` of them, so
    // that a table that arrives whole is taken in over a few steps. True
    // when every row is in.
    bool sync(const records::RecordTable& table, uint32_t maxRows = records::kMaxRows);

    // The limits of probes 1..60 and of the characteristics the rows hold;
    // the NG counts follow a change. Given before the rows are taken in (a
    // new table), they only wait for the next sync.
    void setLimits(const tolerance::ToleranceTable& limits, std::span<const records::LimitCounts> characteristics,
                   const records::RecordTable& table);
    // Only the newest K rows count; 0 means every row.
    void setWindow(uint32_t rows, const records::RecordTable& table);
    uint32_t window() const { return windowRows_; }
    void setPreWarning(tolerance::PreWarning preWarning) { preWarning_ = preWarning; }

    unsigned probeCount() const { return probes_; }
    // The probes, then the characteristics the rows hold.
    unsigned valueCount() const { return values_; }
    // The first row and the number of rows considered.
    uint32_t firstRow() const { return firstRow_; }
    uint32_t rowsConsidered() const { return seenRows_ - firstRow_; }

    // `value` is 1..valueCount(): the probes, then the characteristics.
    // Others, and a table changed since the last sync, yield empty figures.
    ProbeFigures figures(const records::RecordTable& table, unsigned value) const;

private:
    struct Accumulator {
        ExactMoments moments;
        int64_t movingRangeSum = 0;
        uint64_t movingRanges = 0;
        uint64_t ngCount = 0;
        uint64_t ngWithoutReading = 0;
        void clear() { *this = {}; }
    };
    // Least and greatest reading of one value in one block of rows.
    struct Extremes {
        int32_t min = INT32_MAX;
        int32_t max = INT32_MIN;
    };

    // The table still holds the rows taken in.
    bool inStep(const records::RecordTable& table) const {
        return table.resetCount() == seenResets_ && table.rowCount() >= seenRows_;
    }
    void startOver(const records::RecordTable& table);
    void recount(const records::RecordTable& table);
    void addRow(const records::RecordTable& table, uint32_t row);
    void enter(const records::RecordTable& table, uint32_t row);
    void leave(const records::RecordTable& table, uint32_t row);
    // The band of value `index`: a probe's by its number, a characteristic's
    // by its place after the probes.
    const Band& band(unsigned index) const {
        return bands_[index < probes_ ? index : measure::kMaxProbes + (index - probes_)];
    }
    bool outside(unsigned index, int64_t length) const;
    Extremes extremes(const records::RecordTable& table, unsigned index) const;

    std::array<Accumulator, measure::kMaxValues> sums_{};
    // Probes 1..60, then characteristics 1..32.
    std::array<Band, measure::kMaxValues> bands_{};
    // Extremes of block b, value i at b * kMaxValues + i; a block is a chunk
    // of the table's rows.
    std::vector<Extremes> blocks_;
    // Extremes of every row taken in.
    std::array<Extremes, measure::kMaxValues> overall_{};
    unsigned probes_ = 0;
    unsigned values_ = 0;
    uint64_t seenResets_ = UINT64_MAX;
    uint32_t seenRows_ = 0;
    uint32_t firstRow_ = 0;
    uint32_t windowRows_ = 0;
    tolerance::PreWarning preWarning_;
};

}  // namespace gaugemon::statistics
