#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "records/record_table.h"

namespace gaugemon::statistics {

// A row whose probe has no number.
inline constexpr int32_t kNoReading = INT32_MIN;

// One value's readings (0.0001 mm), a probe's or a characteristic's, over the
// rows the statistics consider, copied out of the table into one array so
// that the charts read them in order; kept in step with the table as rows
// arrive.
class ProbeSeries {
public:
    // Follows `probe` (1-based over the probes, then the characteristics)
    // from the next sync on.
    void follow(unsigned probe);
    unsigned probe() const { return probe_; }
    // Takes in the rows from `firstRow` to the table's end: only the new ones
    // unless the probe, the table or an earlier first row changed.
    void sync(const records::RecordTable& table, uint32_t firstRow);

    // One entry per row from firstRow(); kNoReading where the row holds none.
    std::span<const int32_t> values() const { return {values_.data() + dropped_, values_.size() - dropped_}; }
    uint32_t firstRow() const { return firstRow_; }
    // Changes whenever values() does, so that a chart painted from them
    // knows when it is out of date.
    uint64_t revision() const { return revision_; }

private:
    void restart(const records::RecordTable& table, uint32_t firstRow);

    unsigned probe_ = 0;
    unsigned syncedProbe_ = 0;
    uint64_t seenResets_ = UINT64_MAX;
    uint32_t firstRow_ = 0;
    uint32_t seenRows_ = 0;
    size_t dropped_ = 0;  // entries before firstRow_ still at the front
    uint64_t revision_ = 0;
    std::vector<int32_t> values_;
};

// The readings that fall into one pixel column of a chart.
struct ColumnSpan {
    bool any = false;
    int32_t first = 0;
    int32_t last = 0;
    int32_t min = 0;
    int32_t max = 0;
};

// Reduces `values` to at most one span per pixel column, so that a chart of
// a million readings draws as few lines as it has columns. Point i goes to
// column i * columns / n.
void decimate(std::span<const int32_t> values, int columns, std::vector<ColumnSpan>& spans);

// Readings counted into equal bins over [low, high); readings outside fall
// into the end bins.
struct Histogram {
    double low = 0;
    double high = 0;
    std::vector<uint32_t> bins;
    uint32_t tallest = 0;
    double binWidth() const { return bins.empty() ? 0 : (high - low) / static_cast<double>(bins.size()); }
};

// About the square root of the number of readings, within 5..50 bins.
unsigned binCountFor(uint64_t readings);
Histogram histogramOf(std::span<const int32_t> values, double low, double high, unsigned binCount);

}  // namespace gaugemon::statistics
