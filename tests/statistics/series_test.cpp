#include <gtest/gtest.h>

#include <numeric>

#include "statistics/probe_series.h"
#include "statistics/process_statistics.h"
#include "statistics_test_support.h"

namespace gaugemon::statistics {
namespace {

using measure::Length;

// A single outlier among a million readings still shows in its column, and
// every reading lands in exactly one column.
TEST(Decimation, AMillionPointsKeepEveryExtremeInItsColumn) {
    std::vector<int32_t> values(999'999, 100);
    values[123'456] = 9'000;
    values[999'998] = -7;
    values[5] = kNoReading;
    std::vector<ColumnSpan> spans;
    decimate(values, 640, spans);
    ASSERT_EQ(spans.size(), 640u);
    EXPECT_EQ(spans[123'456LL * 640 / 999'999].max, 9'000);
    EXPECT_EQ(spans[639].min, -7);
    EXPECT_EQ(spans[639].last, -7);
    EXPECT_TRUE(std::all_of(spans.begin(), spans.end(), [](const ColumnSpan& s) { return s.any; }));

    // Fewer points than columns: each point its own column, the rest empty.
    decimate(std::vector<int32_t>{1, 2, 3}, 10, spans);
    EXPECT_EQ(std::count_if(spans.begin(), spans.end(), [](const ColumnSpan& s) { return s.any; }), 3);
    decimate({}, 10, spans);
    EXPECT_TRUE(std::none_of(spans.begin(), spans.end(), [](const ColumnSpan& s) { return s.any; }));
    decimate(values, 0, spans);
    EXPECT_TRUE(spans.empty());
}

TEST(HistogramBins, CountEveryReadingOnceAndClampTheEnds) {
    const std::vector<int32_t> values{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -50, 500, kNoReading};
    const Histogram h = histogramOf(values, 0, 10, 5);
    EXPECT_EQ(std::accumulate(h.bins.begin(), h.bins.end(), 0u), 12u);
    EXPECT_EQ(h.bins.front(), 3u);  // 0, 1 and the reading below
    EXPECT_EQ(h.bins.back(), 3u);   // 8, 9 and the reading above
    EXPECT_EQ(h.tallest, 3u);
    // An empty range still has a width.
    EXPECT_GT(histogramOf(values, 4, 4, 5).binWidth(), 0.0);
    EXPECT_EQ(binCountFor(0), 5u);
    EXPECT_EQ(binCountFor(999'999), 50u);
}

// The series follows new rows, the window's moving start, the choice of
// probe and a cleared table.
TEST(Series, FollowsRowsWindowProbeAndClear) {
    test::NumberTable t(2);
    ProbeSeries series;
    series.follow(2);
    for (int32_t v = 1; v <= 10; ++v) t.add(std::vector<Length>{measure::micrometres(-v), measure::micrometres(v)});
    series.sync(t.table, 0);
    ASSERT_EQ(series.values().size(), 10u);
    EXPECT_EQ(series.values()[9], 100);

    for (int32_t v = 11; v <= 20; ++v) t.add(std::vector<Length>{measure::micrometres(-v), measure::micrometres(v)});
    series.sync(t.table, 15);
    ASSERT_EQ(series.values().size(), 5u);
    EXPECT_EQ(series.values()[0], 160);

    series.follow(1);
    series.sync(t.table, 15);
    EXPECT_EQ(series.values()[0], -160);

    series.sync(t.table, 0);  // the window grew back
    EXPECT_EQ(series.values().size(), 20u);

    t.table.clearTable();
    t.add(std::vector<Length>{measure::tenthMicrometres(7), measure::tenthMicrometres(8)});
    series.sync(t.table, 0);
    ASSERT_EQ(series.values().size(), 1u);
    EXPECT_EQ(series.values()[0], 7);

    series.follow(9);  // no such probe: rows without readings
    series.sync(t.table, 0);
    EXPECT_EQ(series.values()[0], kNoReading);
}

}  // namespace
}  // namespace gaugemon::statistics
