#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <numeric>

#include "records/records_test_support.h"
#include "statistics/exact_moments.h"
#include "statistics/figure_text.h"
#include "statistics/probe_series.h"
#include "statistics/process_statistics.h"
#include "statistics/statistics_export.h"
#include "statistics/statistics_settings.h"
#include "statistics_test_support.h"
#include "support/memory_settings_store.h"

namespace gaugemon::statistics {
namespace {

using core::Language;
using measure::Length;
using measure::LengthUnit;
using test::NumberTable;

// The NIST StRD univariate sets NumAcc1, 3 and 4, in tenths of their last
// digit so that they are the integers the station sums: a first value, then
// 500 pairs below and above it. Certified: mean the first value, standard
// deviation 1 (NumAcc1) or 0.1 (NumAcc3/4).
std::vector<int64_t> numAcc(int64_t centre, int64_t step, int pairs) {
    std::vector<int64_t> values{centre};
    for (int i = 0; i < pairs; ++i) {
        values.push_back(centre - step);
        values.push_back(centre + step);
    }
    return values;
}

void expectCertified(const std::vector<int64_t>& values, double scale, double mean, double sd, const char* name) {
    ExactMoments m;
    for (int64_t v : values) m.add(v);
    ASSERT_TRUE(m.mean() && m.sampleVariance()) << name;
    // At least 12 significant digits of the mean and 9 of the deviation.
    EXPECT_NEAR(*m.mean() / scale, mean, mean * 1e-12) << name;
    EXPECT_NEAR(std::sqrt(*m.sampleVariance()) / scale, sd, sd * 1e-9) << name;
}

TEST(ReferenceData, NistNumAcc1And3And4) {
    // NumAcc1: 10000001, 10000003, 10000002 -> mean 10000002, sd 1.
    expectCertified({10'000'001, 10'000'003, 10'000'002}, 1, 10'000'002, 1, "NumAcc1");
    // NumAcc3: 1000000.2, then 1000000.1 / 1000000.3 500 times.
    expectCertified(numAcc(10'000'002, 1, 500), 10, 1'000'000.2, 0.1, "NumAcc3");
    // NumAcc4: 10000000.2, then 10000000.1 / 10000000.3 500 times; the sum
    // of squares minus the squared sum loses every digit in doubles.
    expectCertified(numAcc(100'000'002, 1, 500), 10, 10'000'000.2, 0.1, "NumAcc4");
}

TEST(ReferenceData, NumAcc4ThroughTheRecordTable) {
    // As fine-resolution counts of 0.0001 mm: 10000.00002 mm and so on.
    NumberTable t(1);
    for (int64_t v : numAcc(100'000'002, 1, 500)) t.addSame(measure::tenthMicrometres(static_cast<int32_t>(v)));
    ProcessStatistics s;
    s.sync(t.table);
    const ProbeFigures f = s.figures(t.table, 1);
    EXPECT_EQ(f.count, 1001u);
    EXPECT_NEAR(*f.mean, 10'000.0002, 1e-9);
    EXPECT_NEAR(*f.stdDev, 0.0001, 1e-13);  // 0.1 of the set's unit, 0.001 mm
    EXPECT_NEAR(*f.range, 0.0002, 1e-12);
}

// Eight readings of 0.001 mm against 9.990 .. 10.010 mm, worked by hand:
// mean 10.0015; deviations +-0.5, 3.5, 3.5, 0.5, 2.5, 2.5, 1.5, 1.5 um whose
// squares sum to 42 um^2, so s = sqrt(6) um; moving ranges 3, 7, 3, 3, 5,
// 4, 3 um average 4 um, so the short-term sigma is 4 / 1.128 um.
TEST(Capability, WorkedExample) {
    NumberTable t(1);
    for (int32_t v : {10'002, 10'005, 9'998, 10'001, 10'004, 9'999, 10'003, 10'000}) t.addSame(measure::micrometres(v));
    tolerance::ToleranceTable limits;
    core::MemorySettingsStore store;
    limits.setDisplayLimits(1, 9'990, 10'010, LengthUnit::Millimetre, store);
    ProcessStatistics s;
    s.setLimits(limits, {}, t.table);
    s.sync(t.table);
    const ProbeFigures f = s.figures(t.table, 1);
    const double sigmaOverall = std::sqrt(6.0);  // um
    const double sigmaShort = 4.0 / 1.128;
    EXPECT_NEAR(*f.mean, 10.0015, 1e-12);
    EXPECT_NEAR(*f.stdDev * 1000, sigmaOverall, 1e-9);
    EXPECT_NEAR(*f.pp, 20.0 / (6 * sigmaOverall), 1e-9);  // 1.3608
    EXPECT_NEAR(*f.ppk, 8.5 / (3 * sigmaOverall), 1e-9);  // 1.1567, nearer USL
    EXPECT_NEAR(*f.cp, 20.0 / (6 * sigmaShort), 1e-9);    // 0.94
    EXPECT_NEAR(*f.cpk, 8.5 / (3 * sigmaShort), 1e-9);    // 0.799
    EXPECT_EQ(f.ngCount, 0u);
    EXPECT_EQ(figureText(f, t.table.layout(), 1, Column::Cpk, Language::English, LengthUnit::Millimetre), "0.80");
}

// Rows of a window are exactly those of a table holding only them, across
// chunk boundaries, and the window can grow back to every row.
TEST(Window, LastRowsAgreeWithATableOfOnlyThoseRows) {
    constexpr uint32_t kRows = 3 * records::RecordTable::kRowsPerChunk + 11;
    constexpr uint32_t kWindow = records::RecordTable::kRowsPerChunk + 500;
    auto reading = [](uint32_t r) {
        const auto counts = static_cast<int32_t>(4000 + (r * 7919) % 2503);
        return r % 5 == 0 ? measure::tenthMicrometres(counts) : measure::micrometres(counts);
    };
    NumberTable all(2);
    NumberTable last(2);
    ProcessStatistics windowed;
    windowed.setWindow(kWindow, all.table);
    for (uint32_t r = 0; r < kRows; ++r) {
        all.addSame(reading(r));
        if (r >= kRows - kWindow) last.addSame(reading(r));
        windowed.sync(all.table);  // row by row, as the station does
    }
    ProcessStatistics fresh;
    fresh.sync(last.table);
    // A table that arrived whole (a restore), taken in a step at a time.
    ProcessStatistics stepped(kWindow);
    int steps = 1;
    while (!stepped.sync(all.table, 1000)) ++steps;
    EXPECT_EQ(steps, 4);
    const ProbeFigures w = windowed.figures(all.table, 2);
    const ProbeFigures f = fresh.figures(last.table, 2);
    const ProbeFigures st = stepped.figures(all.table, 2);
    EXPECT_EQ(st.count, f.count);
    EXPECT_DOUBLE_EQ(*st.mean, *f.mean);
    EXPECT_DOUBLE_EQ(*st.stdDev, *f.stdDev);
    EXPECT_EQ(w.count, kWindow);
    EXPECT_EQ(w.count, f.count);
    EXPECT_EQ(w.ngCount, f.ngCount);
    EXPECT_DOUBLE_EQ(*w.mean, *f.mean);
    EXPECT_DOUBLE_EQ(*w.stdDev, *f.stdDev);
    EXPECT_DOUBLE_EQ(*w.min, *f.min);
    EXPECT_DOUBLE_EQ(*w.max, *f.max);
    EXPECT_DOUBLE_EQ(*w.cp, *f.cp);

    windowed.setWindow(0, all.table);
    const ProbeFigures every = windowed.figures(all.table, 2);
    EXPECT_EQ(every.count, kRows);
    EXPECT_EQ(windowed.firstRow(), 0u);
    int64_t least = INT64_MAX;
    int64_t most = INT64_MIN;
    for (uint32_t r = 0; r < kRows; ++r) {
        least = std::min(least, all.table.row(r).number(2).tenthMicrometres());
        most = std::max(most, all.table.row(r).number(2).tenthMicrometres());
    }
    EXPECT_DOUBLE_EQ(*every.min, static_cast<double>(least) / 10000);
    EXPECT_DOUBLE_EQ(*every.max, static_cast<double>(most) / 10000);
}

TEST(Recount, ClearStartsOverAndNewLimitsRejudgeTheRows) {
    NumberTable t(1);
    ProcessStatistics s;
    for (int32_t v : {2000, 4000, 5000, 7000}) t.addSame(measure::micrometres(v));
    s.sync(t.table);
    EXPECT_EQ(s.figures(t.table, 1).ngCount, 2u);  // 3.000 .. 6.000 mm

    tolerance::ToleranceTable limits;
    core::MemorySettingsStore store;
    limits.setDisplayLimits(1, 1000, 8000, LengthUnit::Millimetre, store);
    s.setLimits(limits, {}, t.table);
    EXPECT_EQ(s.figures(t.table, 1).ngCount, 0u);

    t.table.clearTable();
    // Read before the statistics hear of the clear: nothing from rows gone.
    EXPECT_EQ(s.figures(t.table, 1).count, 0u);
    t.addSame(measure::micrometres(4000));
    s.sync(t.table);
    const ProbeFigures f = s.figures(t.table, 1);
    EXPECT_EQ(f.count, 1u);
    EXPECT_DOUBLE_EQ(*f.mean, 4.0);
    EXPECT_DOUBLE_EQ(*f.min, 4.0);
    EXPECT_DOUBLE_EQ(*f.max, 4.0);
}

// Whatever the rows, no figure reads "nan" or "inf": undefined ones are a dash.
TEST(BadInput, UndefinedFiguresAreDashes) {
    const std::string dash = kUndefined;
    auto texts = [](const ProbeFigures& f) {
        std::vector<std::string> cells;
        for (Column c : kColumns) cells.push_back(figureText(f, {1}, 1, c, Language::Chinese, LengthUnit::Inch));
        return cells;
    };
    auto noNumberFaults = [&](const ProbeFigures& f) {
        for (const std::string& cell : texts(f)) {
            EXPECT_EQ(cell.find("nan"), std::string::npos) << cell;
            EXPECT_EQ(cell.find("inf"), std::string::npos) << cell;
        }
    };
    ProcessStatistics s;
    NumberTable t(1);
    s.sync(t.table);
    EXPECT_EQ(s.figures(t.table, 1).count, 0u);
    EXPECT_EQ(
        figureText(s.figures(t.table, 1), t.table.layout(), 1, Column::Mean, Language::English, LengthUnit::Millimetre),
        dash);

    t.addSame(measure::micrometres(4000));  // a single row
    s.sync(t.table);
    ProbeFigures f = s.figures(t.table, 1);
    EXPECT_TRUE(f.mean && f.min);
    EXPECT_FALSE(f.stdDev || f.cp || f.pp);
    noNumberFaults(f);

    t.addSame(measure::micrometres(4000));  // all equal: no spread
    s.sync(t.table);
    f = s.figures(t.table, 1);
    EXPECT_DOUBLE_EQ(*f.stdDev, 0.0);
    EXPECT_FALSE(f.cp || f.cpk || f.pp || f.ppk);
    noNumberFaults(f);

    tolerance::ToleranceTable limits;
    core::MemorySettingsStore store;
    limits.setDisplayLimits(1, 6000, 3000, LengthUnit::Millimetre, store);  // reversed
    t.addSame(measure::micrometres(-16'777'216));                           // the extremes of the decoder
    t.addSame(measure::tenthMicrometres(83'886'080));
    s.setLimits(limits, {}, t.table);
    f = s.figures(t.table, 1);
    EXPECT_FALSE(f.cp || f.ppk);
    EXPECT_EQ(f.ngCount, 4u);  // a reversed pair accepts nothing
    EXPECT_NEAR(*f.range, 8388.608 + 16777.216, 1e-9);
    noNumberFaults(f);

    EXPECT_EQ(s.figures(t.table, 2).count, 0u);  // no such probe
    EXPECT_EQ(s.figures(t.table, 0).count, 0u);
}

TEST(FigureText, UnitsSignAndDecimalPointWhateverTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // a comma locale where installed
    EXPECT_EQ(lengthText(3.0015, LengthUnit::Millimetre), "3.0015");
    EXPECT_EQ(lengthText(25.4, LengthUnit::Inch), "1.00000");
    EXPECT_EQ(lengthText(-0.00001, LengthUnit::Millimetre), "0.0000");
    EXPECT_EQ(lengthText(-0.5, LengthUnit::Millimetre), "-0.5000");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(columnTitle(Column::Mean, Language::English, LengthUnit::Inch), "Mean (in)");
    EXPECT_EQ(figureText({}, {7}, 7, Column::Probe, Language::Chinese, LengthUnit::Millimetre), "测头07");
}

TEST(Export, CsvIsUtf8WithMarkOneLinePerProbeAndReplacesAtomically) {
    NumberTable t(3);
    t.addSame(measure::micrometres(4000));
    t.addSame(measure::micrometres(4002));
    ProcessStatistics s;
    s.sync(t.table);
    const std::string csv = statisticsCsv(s, t.table, Language::Chinese, LengthUnit::Millimetre);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF测头,数量,平均值 (mm),", 0), 0u) << csv;
    EXPECT_NE(csv.find("\r\n测头02,2,4.0010,0.0014,4.0000,4.0020,0.0020,0,0.00,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);

    records::test::TempDir dir;
    const std::string path = (dir.path() / "stats.csv").string();
    ASSERT_TRUE(exportStatistics(path, s, t.table, Language::Chinese, LengthUnit::Millimetre).ok);
    EXPECT_EQ(records::test::readFile(path), csv);
    // A directory in the way: the write fails and says so.
    EXPECT_FALSE(exportStatistics(dir.path().string(), s, t.table, Language::English, LengthUnit::Millimetre).ok);
}

// A characteristic counts after the probes with its own limits and name; a
// row where it could not be computed holds no reading of it.
TEST(Characteristics, FollowTheProbesWithTheirLimitsAndNames) {
    NumberTable t(2, {{"=Dia", 3}});
    for (const std::optional<Length> value :
         {std::optional(measure::micrometres(9005)), std::optional<Length>(), std::optional(measure::micrometres(9020)),
          std::optional(measure::micrometres(9001))})
        t.add(std::vector<Length>(2, measure::micrometres(4000)), std::span(&value, 1));
    ProcessStatistics s;
    s.sync(t.table);
    const records::LimitCounts band{9000, 9010};
    s.setLimits(tolerance::ToleranceTable{}, std::span(&band, 1), t.table);
    ASSERT_EQ(s.valueCount(), 3u);
    const ProbeFigures f = s.figures(t.table, 3);
    EXPECT_EQ(f.count, 3u);
    EXPECT_EQ(f.ngCount, 1u);
    EXPECT_DOUBLE_EQ(*f.min, 9.001);
    EXPECT_DOUBLE_EQ(*f.max, 9.020);
    EXPECT_DOUBLE_EQ(f.usl, 9.010);
    EXPECT_EQ(f.latestZone, tolerance::Zone::Ok);

    ProbeSeries series;
    series.follow(3);
    series.sync(t.table, 0);
    EXPECT_EQ(std::vector<int32_t>(series.values().begin(), series.values().end()),
              (std::vector<int32_t>{90050, kNoReading, 90200, 90010}));
    // A name a spreadsheet would run as a formula stays text.
    const std::string csv = statisticsCsv(s, t.table, Language::English, LengthUnit::Millimetre);
    EXPECT_NE(csv.find("\r\n'=Dia,3,9.0087,"), std::string::npos) << csv;
    EXPECT_EQ(figureText(f, t.table.layout(), 3, Column::Probe, Language::English, LengthUnit::Millimetre), "=Dia");
}

// A row NG because a characteristic could not be computed counts as an NG
// part without a reading, in the window too: never "n 0, NG 0" beside rows
// that are all NG.
TEST(Characteristics, ARowWithoutAValueCountsAsNgWithoutAReading) {
    NumberTable t(1, {{"Far", 3}});
    measure::CharacteristicEvaluator evaluator;
    evaluator.compile({measure::LengthUnit::Millimetre, {{"Far", 3, 0, 10, {measure::FormulaKind::Sum, {{9}}}}}});
    measure::CharacteristicValues values;
    values.count = 1;
    tolerance::Verdict judged;  // a characteristic without a value is NG
    judged.judgeCharacteristics(values, evaluator);
    const std::vector<Length> probe{measure::micrometres(4000)};
    const std::optional<Length> some = measure::micrometres(5);
    const std::optional<Length> none;
    t.add(probe, std::span(&some, 1), &judged);
    t.add(probe, std::span(&none, 1), &judged);
    t.add(probe, std::span(&none, 1), &judged);
    t.add(probe, std::span(&none, 1));  // not judged: no part
    ProcessStatistics s;
    s.sync(t.table);
    const records::LimitCounts band{0, 10};
    s.setLimits(tolerance::ToleranceTable{}, std::span(&band, 1), t.table);
    ProbeFigures f = s.figures(t.table, 2);
    EXPECT_EQ(f.count, 3u);
    EXPECT_EQ(f.ngCount, 2u);
    EXPECT_DOUBLE_EQ(*f.mean, 0.005);
    EXPECT_DOUBLE_EQ(*f.ngShare, 2.0 / 3.0);

    t.add(probe, std::span(&none, 1), &judged);
    s.setWindow(2, t.table);
    f = s.figures(t.table, 2);
    EXPECT_EQ(f.count, 1u);
    EXPECT_EQ(f.ngCount, 1u);
    EXPECT_FALSE(f.mean);
    EXPECT_EQ(f.latestZone, tolerance::Zone::Ng);
    EXPECT_EQ(s.figures(t.table, 1).count, 2u);  // the probe's readings
}

TEST(Export, UndefinedFiguresAreEmptyCellsNotDashes) {
    NumberTable t(1);
    t.addSame(measure::micrometres(4000));  // one reading: no spread, no capability
    ProcessStatistics s;
    s.sync(t.table);
    const std::string csv = statisticsCsv(s, t.table, Language::English, LengthUnit::Millimetre);
    EXPECT_NE(csv.find("\r\nS01,1,4.0000,,4.0000,4.0000,0.0000,0,0.00,,,,\r\n"), std::string::npos) << csv;
}

TEST(Settings, WindowRowsOutsideTheTableReadAsEveryRow) {
    core::MemorySettingsStore store;
    EXPECT_EQ(loadWindowRows(store), 0u);
    for (int32_t stored : {-1, 1'000'000, INT32_MAX}) {
        store.writeInt(keys::kStatRows, stored);
        EXPECT_EQ(loadWindowRows(store), 0u) << stored;
    }
    ASSERT_TRUE(storeWindowRows(store, 500));
    EXPECT_EQ(loadWindowRows(store), 500u);
}

}  // namespace
}  // namespace gaugemon::statistics
