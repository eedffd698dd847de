#include "statistics/probe_series.h"

#include <algorithm>
#include <cmath>

namespace gaugemon::statistics {

void ProbeSeries::follow(unsigned probe) { probe_ = probe; }

void ProbeSeries::restart(const records::RecordTable& table, uint32_t firstRow) {
    syncedProbe_ = probe_;
    seenResets_ = table.resetCount();
    firstRow_ = firstRow;
    seenRows_ = firstRow;
    dropped_ = 0;
    values_.clear();
    ++revision_;
}

void ProbeSeries::sync(const records::RecordTable& table, uint32_t firstRow) {
    firstRow = std::min(firstRow, table.rowCount());
    if (syncedProbe_ != probe_ || seenResets_ != table.resetCount() || table.rowCount() < seenRows_ ||
        firstRow < firstRow_)
        restart(table, firstRow);
    if (firstRow > seenRows_) restart(table, firstRow);
    // Rows that left the window go from the front; the array is compacted
    // once they are half of it.
    if (firstRow != firstRow_) ++revision_;
    dropped_ += firstRow - firstRow_;
    firstRow_ = firstRow;
    if (dropped_ > values_.size() / 2) {
        values_.erase(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(dropped_));
        dropped_ = 0;
    }
    const bool probeHeld = probe_ >= 1 && probe_ <= table.shape().valueCount();
    if (table.rowCount() != seenRows_) ++revision_;
    // No reserve to the exact size: taking rows in one at a time, that would
    // copy the whole array on every row.
    for (uint32_t r = seenRows_; r < table.rowCount(); ++r) {
        const records::ProbeNumber n = probeHeld ? table.row(r).number(probe_) : records::ProbeNumber{};
        values_.push_back(n.present ? static_cast<int32_t>(n.tenthMicrometres()) : kNoReading);
    }
    seenRows_ = table.rowCount();
}

void decimate(std::span<const int32_t> values, int columns, std::vector<ColumnSpan>& spans) {
    spans.assign(static_cast<size_t>(std::max(columns, 0)), ColumnSpan{});
    if (columns <= 0 || values.empty()) return;
    const auto n = static_cast<int64_t>(values.size());
    // Column c holds the points i with c * n <= i * columns < (c + 1) * n;
    // walking column by column spares a division per point.
    int64_t begin = 0;
    for (int64_t c = 0; c < columns; ++c) {
        const int64_t end = ((c + 1) * n + columns - 1) / columns;
        ColumnSpan& s = spans[static_cast<size_t>(c)];
        int32_t low = INT32_MAX;
        int32_t high = INT32_MIN;
        int64_t first = -1;
        int64_t last = -1;
        for (int64_t i = begin; i < end; ++i) {
            const int32_t v = values[static_cast<size_t>(i)];
            if (v == kNoReading) continue;
            if (first < 0) first = i;
            last = i;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        if (first >= 0) s = {true, values[static_cast<size_t>(first)], values[static_cast<size_t>(last)], low, high};
        begin = end;
    }
}

unsigned binCountFor(uint64_t readings) {
    const auto root = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(readings))));
    return std::clamp(root, 5u, 50u);
}

Histogram histogramOf(std::span<const int32_t> values, double low, double high, unsigned binCount) {
    Histogram h;
    h.low = low;
    h.high = high > low ? high : low + 1;
    h.bins.assign(std::max(binCount, 1u), 0);
    const double binsPerLength = 1.0 / h.binWidth();
    const size_t last = h.bins.size() - 1;
    const auto lastPosition = static_cast<double>(last);
    // Run on every painting over up to a million readings: truncation
    // stands for floor, as negative positions (and a position that is no
    // number, from a band too narrow to divide) all go to the first bin.
    for (int32_t v : values) {
        if (v == kNoReading) continue;
        const double position = (v - h.low) * binsPerLength;
        const size_t bin = !(position > 0) ? 0 : position >= lastPosition ? last : static_cast<size_t>(position);
        ++h.bins[bin];
    }
    h.tallest = *std::max_element(h.bins.begin(), h.bins.end());
    return h;
}

}  // namespace gaugemon::statistics
