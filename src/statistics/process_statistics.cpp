#include "statistics/process_statistics.h"

#include <algorithm>
#include <cmath>

#include "core/settings_store.h"

namespace gaugemon::statistics {

namespace {

constexpr uint32_t kBlockRows = records::RecordTable::kRowsPerChunk;
constexpr uint32_t kMaxBlocks = (records::kMaxRows + kBlockRows - 1) / kBlockRows;
// Sums are kept in 0.0001 mm; limits come in 0.001 mm.
constexpr double kTenthMicrometresPerMm = 10000.0;
constexpr int64_t kTenthsPerLimitCount = 10;

double millimetres(double tenthMicrometres) { return tenthMicrometres / kTenthMicrometresPerMm; }

// A characteristic that could not be computed was judged NG without a
// reading; a probe without one was not judged.
bool ngWithoutReading(const records::ProbeNumber& n) { return !n.present && n.zone == records::RecordedZone::Ng; }

std::optional<double> finite(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// Pp/Ppk with the overall sigma, Cp/Cpk with the short-term one: the same
// formulas.
struct Capability {
    std::optional<double> index;
    std::optional<double> centred;
};

Capability capability(const ProbeFigures& f, std::optional<double> sigma) {
    if (!f.bandValid || !sigma || !f.mean || !(*sigma > 0)) return {};
    const double nearest = std::min(f.usl - *f.mean, *f.mean - f.lsl);
    return {finite((f.usl - f.lsl) / (6.0 * *sigma)), finite(nearest / (3.0 * *sigma))};
}

}  // namespace

ProcessStatistics::ProcessStatistics(uint32_t windowRows) : windowRows_(std::min(windowRows, records::kMaxRows)) {
    blocks_.reserve(size_t{kMaxBlocks} * measure::kMaxValues);
    bands_.fill({core::defaults::kLowerLimit, core::defaults::kUpperLimit});
}

bool ProcessStatistics::sync(const records::RecordTable& table, uint32_t maxRows) {
    if (!inStep(table)) startOver(table);
    const uint32_t end = table.rowCount() - seenRows_ > maxRows ? seenRows_ + maxRows : table.rowCount();
    for (uint32_t r = seenRows_; r < end; ++r) addRow(table, r);
    return end == table.rowCount();
}

void ProcessStatistics::startOver(const records::RecordTable& table) {
    seenResets_ = table.resetCount();
    probes_ = std::min(table.shape().probeCount, measure::kMaxProbes);
    values_ = probes_ + std::min(table.shape().characteristicCount, measure::kMaxCharacteristics);
    seenRows_ = 0;
    firstRow_ = 0;
    for (Accumulator& a : sums_) a.clear();
    blocks_.clear();
    overall_.fill({});
}

void ProcessStatistics::recount(const records::RecordTable& table) {
    if (!inStep(table)) {
        startOver(table);
        return;
    }
    for (Accumulator& a : sums_) a.clear();
    firstRow_ = windowRows_ > 0 && seenRows_ > windowRows_ ? seenRows_ - windowRows_ : 0;
    for (uint32_t r = firstRow_; r < seenRows_; ++r) enter(table, r);
}

void ProcessStatistics::setLimits(const tolerance::ToleranceTable& limits,
                                  std::span<const records::LimitCounts> characteristics,
                                  const records::RecordTable& table) {
    std::array<Band, measure::kMaxValues> bands = bands_;
    for (unsigned i = 0; i < measure::kMaxProbes; ++i) {
        const tolerance::ProbeLimits& l = limits.limits(i + 1);
        bands[i] = {l.lslCounts, l.uslCounts};
    }
    for (size_t k = 0; k < std::min<size_t>(characteristics.size(), measure::kMaxCharacteristics); ++k)
        bands[measure::kMaxProbes + k] = {characteristics[k].lower, characteristics[k].upper};
    // Rows changed since the last sync are taken in anew, in steps, with
    // these limits.
    if (!inStep(table)) {
        bands_ = bands;
        return;
    }
    if (bands != bands_) {
        bands_ = bands;
        recount(table);
    }
    sync(table);
}

void ProcessStatistics::setWindow(uint32_t rows, const records::RecordTable& table) {
    if (rows != windowRows_) {
        windowRows_ = rows;
        recount(table);
    }
    sync(table);
}

void ProcessStatistics::addRow(const records::RecordTable& table, uint32_t row) {
    if (row % kBlockRows == 0) blocks_.resize(blocks_.size() + measure::kMaxValues);  // within the reserve
    Extremes* block = &blocks_[size_t{row / kBlockRows} * measure::kMaxValues];
    const records::RowView view = table.row(row);
    for (unsigned i = 0; i < values_; ++i) {
        const records::ProbeNumber n = view.number(i + 1);
        if (!n.present) continue;
        const auto length = static_cast<int32_t>(n.tenthMicrometres());
        block[i].min = std::min(block[i].min, length);
        block[i].max = std::max(block[i].max, length);
        overall_[i].min = std::min(overall_[i].min, length);
        overall_[i].max = std::max(overall_[i].max, length);
    }
    enter(table, row);
    seenRows_ = row + 1;
    if (windowRows_ > 0 && seenRows_ - firstRow_ > windowRows_) {
        leave(table, firstRow_);
        ++firstRow_;
    }
}

bool ProcessStatistics::outside(unsigned index, int64_t length) const {
    const Band& b = band(index);
    // A reversed pair accepts nothing, as in the judgement of the readings.
    return length < b.lower * kTenthsPerLimitCount || length > b.upper * kTenthsPerLimitCount;
}

void ProcessStatistics::enter(const records::RecordTable& table, uint32_t row) {
    const records::RowView view = table.row(row);
    const bool hasPrevious = row > firstRow_;
    for (unsigned i = 0; i < values_; ++i) {
        const records::ProbeNumber n = view.number(i + 1);
        Accumulator& a = sums_[i];
        if (ngWithoutReading(n)) ++a.ngWithoutReading;
        if (!n.present) continue;
        const int64_t length = n.tenthMicrometres();
        a.moments.add(length);
        if (outside(i, length)) ++a.ngCount;
        if (!hasPrevious) continue;
        const records::ProbeNumber previous = table.row(row - 1).number(i + 1);
        if (!previous.present) continue;
        a.movingRangeSum += std::llabs(length - previous.tenthMicrometres());
        ++a.movingRanges;
    }
}

void ProcessStatistics::leave(const records::RecordTable& table, uint32_t row) {
    const records::RowView view = table.row(row);
    const bool hasNext = row + 1 < seenRows_;
    for (unsigned i = 0; i < values_; ++i) {
        const records::ProbeNumber n = view.number(i + 1);
        Accumulator& a = sums_[i];
        if (ngWithoutReading(n)) --a.ngWithoutReading;
        if (!n.present) continue;
        const int64_t length = n.tenthMicrometres();
        a.moments.remove(length);
        if (outside(i, length)) --a.ngCount;
        if (!hasNext) continue;
        const records::ProbeNumber next = table.row(row + 1).number(i + 1);
        if (!next.present) continue;
        a.movingRangeSum -= std::llabs(next.tenthMicrometres() - length);
        --a.movingRanges;
    }
}

// Every row answers from the running extremes. In a window, the blocks that
// begin inside it answer from their summary (the newest one's covers the rows
// taken in so far); only the rows of the block the window begins inside are
// read.
ProcessStatistics::Extremes ProcessStatistics::extremes(const records::RecordTable& table, unsigned index) const {
    if (firstRow_ == 0) return overall_[index];
    Extremes e;
    uint32_t r = firstRow_;
    while (r < seenRows_) {
        if (r % kBlockRows == 0) {
            const Extremes& b = blocks_[size_t{r / kBlockRows} * measure::kMaxValues + index];
            e.min = std::min(e.min, b.min);
            e.max = std::max(e.max, b.max);
            r += kBlockRows;
            continue;
        }
        const records::ProbeNumber n = table.row(r).number(index + 1);
        if (n.present) {
            const auto length = static_cast<int32_t>(n.tenthMicrometres());
            e.min = std::min(e.min, length);
            e.max = std::max(e.max, length);
        }
        ++r;
    }
    return e;
}

ProbeFigures ProcessStatistics::figures(const records::RecordTable& table, unsigned value) const {
    ProbeFigures f;
    if (value < 1 || value > values_ || !inStep(table)) return f;
    const unsigned i = value - 1;
    const Band& limits = band(i);
    f.lsl = limits.lower / 1000.0;
    f.usl = limits.upper / 1000.0;
    f.bandValid = limits.valid();
    const Accumulator& a = sums_[i];
    f.count = a.moments.count() + a.ngWithoutReading;
    f.ngCount = a.ngCount + a.ngWithoutReading;
    if (f.count == 0) return f;
    f.ngShare = static_cast<double>(f.ngCount) / static_cast<double>(f.count);
    const records::ProbeNumber newest = table.row(seenRows_ - 1).number(value);
    if (ngWithoutReading(newest)) f.latestZone = tolerance::Zone::Ng;
    if (a.moments.count() == 0) return f;

    f.mean = millimetres(*a.moments.mean());
    const Extremes e = extremes(table, i);
    f.min = millimetres(e.min);
    f.max = millimetres(e.max);
    f.range = millimetres(static_cast<double>(int64_t{e.max} - e.min));
    if (const std::optional<double> variance = a.moments.sampleVariance())
        f.stdDev = finite(millimetres(std::sqrt(std::max(*variance, 0.0))));
    std::optional<double> shortTerm;
    if (a.movingRanges > 0)
        shortTerm =
            millimetres(static_cast<double>(a.movingRangeSum) / static_cast<double>(a.movingRanges)) / kMovingRangeD2;
    const Capability overall = capability(f, f.stdDev);
    f.pp = overall.index;
    f.ppk = overall.centred;
    const Capability potential = capability(f, shortTerm);
    f.cp = potential.index;
    f.cpk = potential.centred;

    if (newest.present) {
        const int64_t length = newest.tenthMicrometres();
        const bool warning = tolerance::inWarningStrip(limits.lower * kTenthsPerLimitCount,
                                                       limits.upper * kTenthsPerLimitCount, length, preWarning_);
        f.latestZone = outside(i, length) ? tolerance::Zone::Ng
                       : warning          ? tolerance::Zone::Warning
                                          : tolerance::Zone::Ok;
    }
    return f;
}

}  // namespace gaugemon::statistics
