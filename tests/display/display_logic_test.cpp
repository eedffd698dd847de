#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "display/chart_geometry.h"
#include "display/display_actions.h"
#include "display/display_model.h"
#include "display/display_range.h"
#include "link/parameter_settings.h"
#include "measure/setup_text.h"
#include "support/memory_settings_store.h"

using namespace gaugemon::display;
using gaugemon::core::lowerLimitKey;
using gaugemon::core::MemorySettingsStore;
using gaugemon::core::upperLimitKey;
using gaugemon::link::ChannelReading;
using gaugemon::link::LinkState;
using gaugemon::link::ModeRequest;
using gaugemon::link::raiseDisplayModeChange;
using gaugemon::measure::Length;
using gaugemon::measure::LengthUnit;
using gaugemon::tolerance::Judgement;
using gaugemon::tolerance::ToleranceTable;
namespace keys = gaugemon::core::keys;

namespace {

// A plot 646 pixels wide and 200 pixels tall for the range (H = 200).
constexpr ChartArea kPlot{22, 668, 120, 383};

LinkState frame(unsigned probes, std::initializer_list<int32_t> values = {}) {
    LinkState link;
    link.connected = true;
    link.probeCount = probes;
    unsigned i = 0;
    for (int32_t v : values) link.readings[i++] = ChannelReading{v, false};
    return link;
}

// A decoded frame as the station hands it on: judged, then shown.
const ChartPlan* show(DisplayModel& model, const LinkState& link, const ToleranceTable& tolerances,
                      Shown shown = Shown::Chart) {
    std::array<Length, gaugemon::measure::kMaxProbes> lengths{};
    const unsigned count = std::min(link.probeCount, gaugemon::measure::kMaxProbes);
    for (unsigned i = 0; i < count; ++i) {
        const ChannelReading& r = link.readings[i];
        lengths[i] =
            r.scaledBy5 ? gaugemon::measure::tenthMicrometres(r.value) : gaugemon::measure::micrometres(r.value);
    }
    const std::span<const Length> readings(lengths.data(), count);
    gaugemon::tolerance::Verdict verdict;
    verdict.judge(readings, tolerances);
    return model.update(readings, verdict, tolerances, {}, shown);
}

}  // namespace

TEST(ColumnGeometry, WidthsByProbeCountOnA646PixelPlot) {
    const struct {
        unsigned probes;
        ColumnGeometry geometry;
        int32_t label;
    } cases[] = {
        {0, {300, 200}, 70}, {1, {300, 200}, 70}, {2, {300, 200}, 70}, {3, {215, 143}, 70},
        {8, {80, 64}, 64},   {10, {64, 51}, 51},  {12, {53, 47}, 47},  {60, {10, 9}, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnGeometry(646, c.probes), c.geometry) << c.probes;
        EXPECT_EQ(labelSize(c.geometry.barW), c.label) << c.probes;
    }
}

TEST(ColumnGeometry, BarShareChangesAtColumnWidthBoundaries) {
    const struct {
        int32_t colW;
        int32_t barW;
    } cases[] = {{301, 200}, {300, 200}, {81, 54}, {80, 64}, {61, 48}, {60, 53}, {51, 45}, {50, 48}, {1, 0}};
    for (const auto& c : cases) EXPECT_EQ(columnGeometry(c.colW, 1).barW, c.barW) << c.colW;
    EXPECT_EQ(columnGeometry(-5, 3), (ColumnGeometry{0, 0}));
}

TEST(ColumnGeometry, LeftEdgesSplitThePlotWithoutDrift) {
    EXPECT_EQ(columnLeft(kPlot, 0, 60), 22);
    EXPECT_EQ(columnLeft(kPlot, 1, 60), 22 + 10);
    EXPECT_EQ(columnLeft(kPlot, 59, 60), 22 + 646 * 59 / 60);
    EXPECT_EQ(columnLeft(kPlot, 9, 10), 22 + 581);
    EXPECT_EQ(columnLeft(kPlot, 0, 1), 22);
}

TEST(VerticalScale, DefaultRangeOnA200PixelPlot) {
    const VerticalScale s = verticalScale(kPlot, DisplayRange{});
    EXPECT_FLOAT_EQ(s.countsPerPixel, 100.0f);
    EXPECT_EQ(s.y0, kPlot.bottom - 131);
    const VerticalScale lowZero = verticalScale(kPlot, DisplayRange{0, 2000});
    EXPECT_EQ(lowZero.y0, kPlot.bottom - 31);
}

TEST(VerticalScale, EmptyRangeOrFlatPlotStaysFinite) {
    for (const DisplayRange range : {DisplayRange{0, 0}, DisplayRange{500, -500}, DisplayRange{INT32_MIN, INT32_MAX}}) {
        for (const ChartArea area : {kPlot, ChartArea{22, 668, 120, 150}, ChartArea{22, 668, 300, 100}}) {
            const VerticalScale s = verticalScale(area, range);
            EXPECT_TRUE(std::isfinite(s.countsPerPixel) && s.countsPerPixel > 0.0f);
            EXPECT_LT(std::abs(s.y0), 2000000);
        }
    }
}

TEST(DisplayRangeConfirmation, RoundsEntriesToCountsAndPersists) {
    const struct {
        float lower;
        float upper;
        DisplayRange range;
    } cases[] = {
        {-10.0f, 10.0f, {-10000, 10000}},
        {-0.0015f, 0.0015f, {-2, 2}},
        {0.0f, 5.0f, {0, 5000}},
        {-0.0004f, 0.0006f, {0, 1}},
        {-2147483.0f, 2147483.0f, {-2147483000, 2147483000}},
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        DisplayRange range;
        EXPECT_EQ(confirmDisplayRange(c.lower, c.upper, range, store), RangeRefusal::None) << c.lower << " " << c.upper;
        EXPECT_EQ(range, c.range);
        EXPECT_EQ(store.readInt(keys::kResoH, 0), c.range.high);
        EXPECT_EQ(store.readInt(keys::kResoL, 0), c.range.low);
        EXPECT_EQ(loadDisplayRange(store), c.range);
    }
}

TEST(DisplayRangeConfirmation, RefusedEntriesChangeNothing) {
    const struct {
        float lower;
        float upper;
        const char* message;
    } cases[] = {
        {0.001f, 10.0f, " <=0! "},  // lower tested first, even with a wrong upper
        {0.001f, -1.0f, " <=0! "},    {-1.0f, 0.0f, " >0! "}, {-1.0f, -2.0f, " >0! "},   {0.0f, 0.0004f, " >0! "},
        {-0.0003f, 0.0001f, " >0! "},  // nothing left between the limits
        {NAN, 10.0f, " <=0! "},       {-1.0f, NAN, " >0! "},  {-5.0f, 0.0004f, " >0! "},  // an upper end of 0 counts,
                                                                                          // whatever the lower end
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        DisplayRange range;
        EXPECT_STREQ(rangeRefusalText(confirmDisplayRange(c.lower, c.upper, range, store)), c.message)
            << c.lower << " " << c.upper;
        EXPECT_EQ(range, DisplayRange{});
        EXPECT_EQ(store.writeCount(), 0);
    }
}

// Entries beyond the 32-bit counts used to be stored cut to the largest
// count, a range the operator never typed.
TEST(DisplayRangeConfirmation, EntriesThatDoNotFitAreRefusedNotSaturated) {
    const struct {
        float lower;
        float upper;
        const char* message;
    } cases[] = {
        {-1e38f, 10.0f, " >=-2147483! "},      {-999999999.0f, 10.0f, " >=-2147483! "},
        {-2147484.0f, 10.0f, " >=-2147483! "}, {-INFINITY, 1.0f, " >=-2147483! "},
        {-1.0f, 1e38f, " <=2147483! "},        {-1.0f, 2147484.0f, " <=2147483! "},
        {-1e38f, 1e38f, " >=-2147483! "},  // the lower entry first
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        DisplayRange range;
        EXPECT_STREQ(rangeRefusalText(confirmDisplayRange(c.lower, c.upper, range, store)), c.message)
            << c.lower << " " << c.upper;
        EXPECT_EQ(range, DisplayRange{});
        EXPECT_EQ(store.writeCount(), 0);
    }
}

TEST(DisplayRangeConfirmation, BothEndsReachTheStoreInOneWrite) {
    MemorySettingsStore store;
    DisplayRange range;
    ASSERT_EQ(confirmDisplayRange(-2.0f, 3.0f, range, store), RangeRefusal::None);
    EXPECT_EQ(store.syncCount(), 1);
}

TEST(ChartClick, SlicesOfTheConnectedPlotSelectProbes) {
    const ChartArea area{22, 668, 120, 310};
    const int32_t y = 200;
    const struct {
        int32_t x;
        int32_t y;
        std::optional<unsigned> probe;
    } cases[] = {
        {22 + 1, y, 1u},        {22 + 65, y, 2u},         {668 - 1, y, 10u},        {22, y, std::nullopt},
        {668, y, std::nullopt}, {100, 120, std::nullopt}, {100, 310, std::nullopt}, {100, 121, 2u},
    };
    for (const auto& c : cases) EXPECT_EQ(probeAtPoint(area, 10, c.x, c.y), c.probe) << c.x << "," << c.y;
    EXPECT_EQ(probeAtPoint(area, 0, 100, y), std::nullopt);
}

TEST(ChartClick, AlwaysRequestsARedrawButSelectsOnlyWhileConnected) {
    DisplayModel model;
    LinkState link = frame(10);
    link.connected = false;
    EXPECT_EQ(model.chartClick(link.connected, link.probeCount, 100, 200), std::nullopt);
    EXPECT_TRUE(model.redrawRequested());

    link.connected = true;
    EXPECT_EQ(model.chartClick(link.connected, link.probeCount, 23, 200), 1u);
    link.probeCount = 200;  // an instrument report beyond what is polled
    EXPECT_EQ(model.chartClick(link.connected, link.probeCount, 667, 200), 60u);
}

TEST(ModeConfirmation, RaisesTheModeWriteBehindAnUnlock) {
    LinkState link;
    EXPECT_EQ(raiseDisplayModeChange(link, 2), ModeRequest::NotConnected);
    EXPECT_FALSE(link.pending.modeChange);
    EXPECT_FALSE(link.pending.writeUnlock);

    link.connected = true;
    EXPECT_EQ(raiseDisplayModeChange(link, 3), ModeRequest::Raised);
    EXPECT_TRUE(link.pending.modeChange);
    EXPECT_TRUE(link.pending.writeUnlock);
    EXPECT_EQ(link.pending.modeIndex, 3);
}

TEST(ModeConfirmation, NoSelectedItemIsIgnored) {
    for (int index : {-1, 4, 255}) {
        LinkState link;
        link.connected = true;
        EXPECT_EQ(raiseDisplayModeChange(link, index), ModeRequest::Ignored);
        EXPECT_FALSE(link.pending.modeChange) << index;
        EXPECT_FALSE(link.pending.writeUnlock) << index;
        EXPECT_EQ(link.pending.modeIndex, 0);
    }
}

TEST(UnitConfirmation, ARealChangeRewritesAllLimits) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Millimetre);
    DisplayModel model;
    model.load(store);

    EXPECT_TRUE(model.confirmUnit(1, tolerances, store));
    EXPECT_EQ(model.unit(), LengthUnit::Inch);
    EXPECT_EQ(store.readInt(keys::kUnit, -1), 1);
    EXPECT_EQ(store.writeCount(), 121);
    EXPECT_EQ(store.syncCount(), 1) << "the unit and its limits reach the disk in one write";
    EXPECT_EQ(store.readInt(lowerLimitKey(1), 0), 11811);
    EXPECT_TRUE(model.redrawRequested());

    EXPECT_TRUE(model.confirmUnit(0, tolerances, store));
    EXPECT_EQ(store.readInt(lowerLimitKey(60), 0), 3000);
    EXPECT_EQ(store.readInt(upperLimitKey(60), 0), 6000);
}

TEST(UnitConfirmation, TheUnitInForceOnlyPersistsAndRedraws) {
    MemorySettingsStore store;
    store.writeInt(keys::kUnit, 1);
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Inch);
    DisplayModel model;
    model.load(store);
    const int before = store.writeCount();
    EXPECT_TRUE(model.confirmUnit(1, tolerances, store));
    EXPECT_EQ(store.writeCount() - before, 1);
    EXPECT_FALSE(store.contains(lowerLimitKey(1)));
    EXPECT_TRUE(model.redrawRequested());
}

TEST(UnitConfirmation, NoSelectedItemIsIgnored) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    DisplayModel model;
    for (int index : {-1, 2, 255}) EXPECT_FALSE(model.confirmUnit(index, tolerances, store)) << index;
    EXPECT_EQ(model.unit(), LengthUnit::Millimetre);
    EXPECT_EQ(store.writeCount(), 0);
    EXPECT_FALSE(model.redrawRequested());
}

TEST(DisplayModelUpdate, DrawsOnlyWhenAValueMovedOrARedrawWasRequested) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Millimetre);
    DisplayModel model;
    model.setChartArea(kPlot);

    LinkState link = frame(3, {4000, 0, 0});
    EXPECT_NE(show(model, link, tolerances), nullptr);
    EXPECT_FALSE(model.redrawRequested());
    EXPECT_EQ(show(model, link, tolerances), nullptr) << "nothing moved";

    // A value toggling between two readings redraws every time.
    for (int32_t v : {4001, 4000, 4001}) {
        link.readings[2].value = v;
        EXPECT_NE(show(model, link, tolerances), nullptr) << v;
    }
    // A reading that only changes resolution changes its text, so it counts.
    link.readings[2].scaledBy5 = true;
    EXPECT_NE(show(model, link, tolerances), nullptr);

    model.requestRedraw();
    EXPECT_NE(show(model, link, tolerances), nullptr);
}

// Only what some view shows is made. A chart nobody showed for a while is
// drawn whole when it is shown again, though nothing moved meanwhile.
TEST(DisplayModelUpdate, MakesOnlyWhatTheViewsShow) {
    const struct {
        Shown shown;
        const char* text;  // of probe 1 after the unseen readings
    } cases[] = {
        {Shown::Nothing, "  4.000 "},
        {Shown::ValueTexts, "  4.500 "},
    };
    for (const auto& c : cases) {
        ToleranceTable tolerances;
        DisplayModel model;
        model.setChartArea(kPlot);
        ASSERT_NE(show(model, frame(2, {4000, 1000}), tolerances), nullptr);
        const LinkState unseen = frame(2, {4500, 1000});
        EXPECT_EQ(show(model, unseen, tolerances, c.shown), nullptr);
        EXPECT_EQ(std::string(model.valueTexts()[0].text()), c.text);
        EXPECT_TRUE(model.showsReadings());
        const ChartPlan* plan = show(model, unseen, tolerances);
        ASSERT_NE(plan, nullptr) << "the chart is drawn whole once it is shown again";
        EXPECT_EQ(plan->probes, 2u);
        EXPECT_EQ(std::string(model.valueTexts()[0].text()), "  4.500 ");
    }
}

TEST(DisplayModelUpdate, TextsFollowTheUnitEvenWithoutARedraw) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    DisplayModel model;
    LinkState link = frame(2, {12345, -2345});
    show(model, link, tolerances);
    EXPECT_EQ(std::string(model.valueTexts()[0].text()), " 12.345 ");
    EXPECT_EQ(std::string(model.valueTexts()[1].text()), "- 2.345 ");

    model.confirmUnit(1, tolerances, store);
    model.requestRedraw();  // cancelled below to show the texts do not depend on it
    show(model, link, tolerances);
    EXPECT_EQ(show(model, link, tolerances), nullptr);
    EXPECT_EQ(std::string(model.valueTexts()[0].text()), " 0.48600");
}

TEST(DisplayModelUpdate, OnlyPolledProbesAreFormatted) {
    ToleranceTable tolerances;
    DisplayModel model;
    LinkState link = frame(3, {1000, 2000, 3000});
    show(model, link, tolerances);
    link.probeCount = 1;
    link.readings[0].value = 5000;
    link.readings[1].value = 9000;
    show(model, link, tolerances);
    EXPECT_EQ(std::string(model.valueTexts()[0].text()), "  5.000 ");
    EXPECT_EQ(std::string(model.valueTexts()[1].text()), "  2.000 ");
    EXPECT_EQ(std::string(model.valueTexts()[3].text()), std::string(8, '\0'));
}

TEST(DisplayModelUpdate, AnyNgIsJudgedAgainOnlyWhenTheChartRedraws) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Millimetre);
    DisplayModel model;
    LinkState link = frame(2, {4000, 1000});
    const ChartPlan* plan = show(model, link, tolerances);
    ASSERT_NE(plan, nullptr);
    EXPECT_TRUE(model.anyNg());
    EXPECT_EQ(plan->columns[0].judgement, Judgement::Ok);
    EXPECT_EQ(plan->columns[1].judgement, Judgement::Ng);
    EXPECT_TRUE(plan->verdict.ng);

    // Widened limits take effect only at a redraw.
    tolerances.setDisplayLimits(2, 0, 6000, LengthUnit::Millimetre, store);
    EXPECT_EQ(show(model, link, tolerances), nullptr);
    EXPECT_TRUE(model.anyNg());
    model.requestRedraw();
    plan = show(model, link, tolerances);
    ASSERT_NE(plan, nullptr);
    EXPECT_FALSE(model.anyNg());
    EXPECT_FALSE(plan->verdict.ng);
}

TEST(DisplayModelUpdate, FineProbeIsDrawnAndJudgedInItsTrueLength) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Millimetre);
    tolerances.setDisplayLimits(1, 1000, 1300, LengthUnit::Millimetre, store);
    DisplayModel model;
    model.setChartArea(kPlot);
    LinkState link = frame(2);
    link.readings[0] = ChannelReading{12345, true};  // 1.2345 mm
    link.readings[1] = ChannelReading{1234, false};  // 1.234 mm
    const ChartPlan* plan = show(model, link, tolerances);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->columns[0].judgement, Judgement::Ok);
    // Both bars are 12 pixels tall at 100 counts per pixel.
    EXPECT_EQ(plan->columns[0].bar.bottom - plan->columns[0].bar.top, 12);
    EXPECT_EQ(plan->columns[1].bar.bottom - plan->columns[1].bar.top, 12);
}

TEST(DisplayModelUpdate, BarsStopAtTheDisplayRangeButTextsDoNot) {
    ToleranceTable tolerances;
    DisplayModel model;
    model.setChartArea(kPlot);
    LinkState link = frame(3, {25000, -25000, 0});
    const ChartPlan* plan = show(model, link, tolerances);
    ASSERT_NE(plan, nullptr);
    const int32_t y0 = kPlot.bottom - 131;
    EXPECT_EQ(plan->columns[0].bar, (PixelRect{22, y0 - 100, 22 + 143, y0}));
    EXPECT_EQ(plan->columns[1].bar, (PixelRect{237, y0, 237 + 143, y0 + 100}));
    EXPECT_TRUE(plan->columns[2].bar.empty());
    EXPECT_EQ(std::string(model.valueTexts()[0].text()), " 25.000 ");
    // Labels: a value of 0 or more puts its number under the zero line and its
    // text above the bar; a negative one the other way round.
    EXPECT_EQ(plan->columns[2].numberY, y0 + 2);
    EXPECT_EQ(plan->columns[2].textY, y0 - 70 / 2);
    EXPECT_EQ(plan->columns[1].numberY, y0 - 36);
    EXPECT_EQ(plan->columns[1].textY, y0 + 100);
    EXPECT_EQ(numberText(plan->columns[1]), " 2");
}

// Characteristics stand after the probes in columns of their own: labelled
// C1.., outlined, with their limits; one that cannot be computed draws no bar
// and says so; a click on them selects no probe.
TEST(DisplayModelUpdate, CharacteristicColumnsFollowTheProbes) {
    MemorySettingsStore store;
    ToleranceTable tolerances;
    tolerances.load(store, LengthUnit::Millimetre);
    DisplayModel model;
    model.setChartArea(kPlot);
    const auto parsed = gaugemon::measure::parseSetupText("Sum; 2; 7.000; 8.000; p1 + p2\nFar; 3; -1; 1; p3\n", 60);
    gaugemon::measure::CharacteristicEvaluator evaluator;
    evaluator.compile(parsed.setup);
    const std::array<Length, 2> lengths{gaugemon::measure::micrometres(4000), gaugemon::measure::micrometres(3456)};
    gaugemon::measure::CharacteristicValues values;
    evaluator.evaluate(lengths, 0b11, values);
    gaugemon::tolerance::Verdict verdict;
    verdict.judge(lengths, tolerances);
    verdict.judgeCharacteristics(values, evaluator);
    EXPECT_TRUE(verdict.anyNg()) << "a value that cannot be computed cannot pass";

    const ChartPlan* plan = model.update(lengths, verdict, tolerances, {&values, &evaluator});
    ASSERT_NE(plan, nullptr);
    ASSERT_EQ(plan->columnCount(), 4u);
    EXPECT_EQ(plan->geometry, columnGeometry(646, 4));
    const ColumnPlan& sum = plan->columns[2];
    EXPECT_EQ(numberText(sum), "C1");
    EXPECT_TRUE(sum.outlined);
    EXPECT_FALSE(plan->columns[1].outlined);
    EXPECT_EQ(sum.bar.left, columnLeft(kPlot, 2, 4));
    EXPECT_EQ(sum.judgement, Judgement::Ok);
    EXPECT_EQ(std::string(plan->characteristicTexts[0].text()), "    7.46");
    EXPECT_EQ(sum.lowerMark.top, plan->scale.y0 - pixelsFor(7000.0f, plan->scale.countsPerPixel));
    const ColumnPlan& far = plan->columns[3];
    EXPECT_TRUE(far.bar.empty());
    EXPECT_EQ(std::string(plan->characteristicTexts[1].text()), "   --   ");
    EXPECT_TRUE(plan->verdict.ng);

    EXPECT_EQ(model.probeAt(true, 2, columnLeft(kPlot, 1, 4) + 1, 200), 2u);
    EXPECT_EQ(model.probeAt(true, 2, columnLeft(kPlot, 2, 4) + 1, 200), std::nullopt);
    // Defined anew without characteristics, the chart lays out its probes alone again.
    plan = model.update(lengths, verdict, tolerances);
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->columnCount(), 2u);
}
