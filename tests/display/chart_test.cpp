#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include "core/settings_store.h"
#include "display/chart_colors.h"
#include "display/display_update.h"
#include "link/link_state.h"
#include "measure/setup_text.h"
#include "support/memory_settings_store.h"

using namespace gaugemon::display;
using gaugemon::core::MemorySettingsStore;
using gaugemon::link::LinkState;
using gaugemon::measure::Length;
using gaugemon::measure::LengthUnit;
using gaugemon::tolerance::ToleranceTable;

namespace {

// A 646 x 263 pixel plot: with the default range of +-10 mm the range spans
// 200 pixels at 100 counts per pixel and value 0 lies on row 252.
constexpr ChartArea kPlot{22, 668, 120, 383};
constexpr int32_t kY0 = 252;

QRgb rgb(Rgb c) { return qRgb(c.r, c.g, c.b); }
const QRgb kGreen = rgb(colors::kOk);
const QRgb kRed = rgb(colors::kNg);
const QRgb kGrey = rgb(colors::kPlotBackground);
const QRgb kMark = rgb(colors::kToleranceMark);
const QRgb kAxis = rgb(colors::kAxis);

class ChartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "display_chart_test";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc, argv);
    }

    ChartTest() {
        tolerances.load(store, LengthUnit::Millimetre);  // 3.000 .. 6.000 mm
        layOut(DisplayUpdate::kDefaultClientSize, kPlot);
        clearPlot();
    }

    // As the window and the station do it: the image first, then the model.
    void layOut(QSize client, const ChartArea& area) {
        chart.setLayout(client, area);
        model.setChartArea(area);
        model.requestRedraw();
    }
    void clearPlot() {
        chart.clearPlot();
        model.requestRedraw();
    }
    RangeRefusal confirmRange(float lower, float upper) {
        const RangeRefusal refusal = model.confirmRange(lower, upper, store);
        if (refusal == RangeRefusal::None) clearPlot();
        return refusal;
    }

    // One accepted frame with the given values on the first probes.
    bool show(unsigned probes, std::initializer_list<int32_t> values) {
        link.connected = true;
        link.probeCount = probes;
        unsigned i = 0;
        for (int32_t v : values) lengths[i++] = gaugemon::measure::micrometres(v);
        const std::span<const Length> readings(lengths.data(), probes);
        verdict.judge(readings, tolerances);
        const ChartPlan* plan = model.update(readings, verdict, tolerances);
        if (plan) chart.paint(*plan);
        return plan != nullptr;
    }
    bool showAll(unsigned probes, int32_t value) {
        for (unsigned i = 0; i < probes; ++i) lengths[i] = gaugemon::measure::micrometres(value);
        return show(probes, {});
    }

    QRgb at(int x, int y) const { return chart.image().pixel(x, y); }

    bool anyPixelIn(const QRect& r, QRgb colour) const {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (at(x, y) == colour) return true;
        return false;
    }

    // 120 redraws of 60 moving probes (and the characteristics `evaluator`
    // computes from them) painted where they changed give the image that
    // painting each one whole gives.
    void expectPartialPaintsMatchFullPaints(const gaugemon::measure::CharacteristicEvaluator* evaluator) {
        QImage full(chart.image().size(), QImage::Format_ARGB32_Premultiplied);
        full.fill(Qt::transparent);
        ChartPainter fresh;
        fresh.clearPlot(full, kPlot);
        constexpr unsigned kProbes = 60;
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        link.connected = true;
        link.probeCount = kProbes;
        gaugemon::measure::CharacteristicValues values;
        for (int step = 0; step < 120; ++step) {
            for (unsigned i = 0; i < kProbes; ++i) {
                // Mostly small moves; now and then a jump across the range or a probe that stays put.
                int32_t& v = lengths[i].counts;
                const uint32_t r = next();
                if (r % 7 == 0) continue;
                v = r % 11 == 0 ? static_cast<int32_t>(r % 24000) - 12000 : v + static_cast<int32_t>(r % 801) - 400;
            }
            const std::span<const Length> readings(lengths.data(), kProbes);
            verdict.judge(readings, tolerances);
            if (evaluator) {
                evaluator->evaluate(readings, ~uint64_t{0}, values);
                verdict.judgeCharacteristics(values, *evaluator);
            }
            const ChartPlan* plan = model.update(readings, verdict, tolerances, {&values, evaluator});
            if (!plan) continue;
            chart.paint(*plan);
            fresh.forgetShown();
            fresh.paint(full, *plan, model.valueTexts());
            ASSERT_EQ(chart.image().copy(kPlot.left, kPlot.top, kPlot.right - kPlot.left, kPlot.bottom - kPlot.top),
                      full.copy(kPlot.left, kPlot.top, kPlot.right - kPlot.left, kPlot.bottom - kPlot.top))
                << "step " << step;
            ASSERT_EQ(chart.image().copy(680, 16, 77, 49), full.copy(680, 16, 77, 49)) << "verdict, step " << step;
        }
    }

    static inline QGuiApplication* app_ = nullptr;
    MemorySettingsStore store;
    ToleranceTable tolerances;
    LinkState link;
    std::array<Length, gaugemon::measure::kMaxProbes> lengths{};
    gaugemon::tolerance::Verdict verdict;
    DisplayModel model;
    DisplayUpdate chart{model};
};

}  // namespace

TEST_F(ChartTest, GreenBarFillsItsRectangleAboveTheZeroLine) {
    ASSERT_TRUE(show(1, {4000}));
    // 4000 counts are 40 pixels: rows 212..251, columns 22..221 (bar width 200).
    EXPECT_EQ(at(23, 212), kGreen);
    EXPECT_EQ(at(22, 212), kAxis) << "the left axis lies over the first bar";
    EXPECT_EQ(at(221, 251), kGreen);
    EXPECT_EQ(at(150, 240), kGreen);
    EXPECT_NE(at(150, 211), kGreen);
    EXPECT_NE(at(222, 240), kGreen);
    EXPECT_EQ(at(150, 211), kGrey) << "the column is cleared above the bar";
    EXPECT_EQ(at(150, 260), kGrey) << "and below it";
    EXPECT_FALSE(chart.anyNg());
}

TEST_F(ChartTest, OutOfToleranceBarIsRedAndSetsAnyNg) {
    ASSERT_TRUE(show(2, {4000, 7000}));
    const int32_t second = 22 + 646 / 2;
    EXPECT_EQ(at(100, 240), kGreen);
    EXPECT_EQ(at(second + 1, kY0 - 69), kRed);
    EXPECT_EQ(at(second + 199, kY0 - 1), kRed);
    EXPECT_TRUE(chart.anyNg());
}

TEST_F(ChartTest, NegativeBarGrowsDownFromTheZeroLine) {
    ASSERT_TRUE(show(1, {-4000}));
    EXPECT_EQ(at(150, kY0 + 1), kRed);
    EXPECT_EQ(at(150, kY0 + 39), kRed);
    EXPECT_EQ(at(150, kY0 + 45), kGrey);
    EXPECT_EQ(at(150, kY0 - 5), kGrey);
}

TEST_F(ChartTest, ToleranceMarksCrossTheBarWidthOnly) {
    tolerances.setDisplayLimits(1, 3000, 11000, LengthUnit::Millimetre, store);
    tolerances.setDisplayLimits(2, -14000, 6000, LengthUnit::Millimetre, store);
    ASSERT_TRUE(show(2, {4000, 0}));
    // LSL 3000 lies 30 pixels over the zero line, across the green bar.
    EXPECT_EQ(at(23, kY0 - 30), kMark);
    EXPECT_EQ(at(221, kY0 - 30), kMark);
    EXPECT_NE(at(222, kY0 - 30), kMark);
    EXPECT_EQ(at(150, kY0 - 29), kGreen);
    // USL 11000 is beyond the range but inside the plot: marked in the margin.
    EXPECT_EQ(at(150, kY0 - 110), kMark);
    // Probe 2: USL 6000 is marked, LSL -14000 would fall below the plot.
    const int32_t second = 22 + 323;
    EXPECT_EQ(at(second + 150, kY0 - 60), kMark);
    EXPECT_FALSE(anyPixelIn(QRect(second, kPlot.bottom - 2, 200, 30), kMark));
}

TEST_F(ChartTest, AxesFrameTheColumns) {
    ASSERT_TRUE(show(1, {4000}));
    // The zero line stops two pixels short of the right edge and lies over the bar.
    EXPECT_EQ(at(22, kY0), kAxis);
    EXPECT_EQ(at(150, kY0), kAxis);
    EXPECT_EQ(at(665, kY0), kAxis);
    EXPECT_NE(at(666, kY0), kAxis);
    // Left axis over the whole plot height, range lines across the plot.
    EXPECT_EQ(at(22, kPlot.top), kAxis);
    EXPECT_EQ(at(22, kPlot.bottom - 1), kAxis);
    EXPECT_EQ(at(400, kY0 - 100), kAxis);
    EXPECT_EQ(at(667, kY0 - 100), kAxis);
    EXPECT_EQ(at(400, kY0 + 100), kAxis);
    EXPECT_NE(at(668, kY0 + 100), kAxis);
}

TEST_F(ChartTest, VerdictBoxShowsOkInGreenAndNgInRed) {
    const QRect box(680, 16, 77, 49);
    ASSERT_TRUE(show(1, {4000}));
    EXPECT_EQ(at(680, 16), kGrey);
    EXPECT_EQ(at(756, 64), kGrey);
    EXPECT_TRUE(anyPixelIn(box, kGreen));
    EXPECT_FALSE(anyPixelIn(box, kRed));

    ASSERT_TRUE(show(1, {9000}));
    EXPECT_TRUE(anyPixelIn(box, kRed));
    EXPECT_FALSE(anyPixelIn(box, kGreen));
}

TEST_F(ChartTest, LogoCoversTheVerdictBox) {
    model.setLogoShown(true);
    ASSERT_TRUE(show(1, {9000}));
    EXPECT_EQ(at(700, 40), qRgba(0, 0, 0, 0));
    EXPECT_TRUE(chart.anyNg());
}

TEST_F(ChartTest, ColumnGeometryOnA646PixelPlot) {
    const struct {
        unsigned probes;
        int32_t barW;
    } cases[] = {{1, 200}, {10, 51}, {60, 9}};
    for (const auto& c : cases) {
        chart.clearPlot();
        ASSERT_TRUE(showAll(c.probes, 4000));
        for (unsigned i = 0; i < c.probes; ++i) {
            const int32_t xL = 22 + static_cast<int32_t>(646 * i / c.probes);
            EXPECT_EQ(at(xL + 1, kY0 - 5), kGreen) << c.probes << " probes, column " << i;
            EXPECT_EQ(at(xL + c.barW - 1, kY0 - 5), kGreen) << c.probes << " probes, column " << i;
            EXPECT_NE(at(xL + c.barW, kY0 - 5), kGreen) << c.probes << " probes, column " << i;
        }
    }
}

TEST_F(ChartTest, FrameWithoutChangeDrawsNothing) {
    ASSERT_TRUE(show(3, {4000, -2000, 7000}));
    const QImage before = chart.image().copy();
    EXPECT_FALSE(show(3, {4000, -2000, 7000}));
    EXPECT_EQ(chart.image(), before);
}

TEST_F(ChartTest, RedrawRequestDrawsUnchangedValuesAgain) {
    ASSERT_TRUE(show(1, {4000}));
    clearPlot();
    EXPECT_EQ(at(150, 240), kGrey);
    EXPECT_TRUE(show(1, {4000}));
    EXPECT_EQ(at(150, 240), kGreen);
}

TEST_F(ChartTest, ShorterBarErasesTheOldOneAbove) {
    ASSERT_TRUE(show(1, {5000}));
    EXPECT_EQ(at(150, kY0 - 45), kGreen);
    ASSERT_TRUE(show(1, {1000}));
    EXPECT_EQ(at(150, kY0 - 45), kGrey);
    EXPECT_EQ(at(150, kY0 - 5), kRed);
}

TEST_F(ChartTest, ImageKeepsTheChartAcrossLayoutChanges) {
    ASSERT_TRUE(show(1, {4000}));
    // A larger window keeps the verdict box; a moved plot is cleared and
    // redrawn in full at the next update.
    const ChartArea wider{22, 868, 120, 383};
    layOut(QSize(1438, 758), wider);
    EXPECT_EQ(chart.image().size(), QSize(1438, 758));
    EXPECT_TRUE(anyPixelIn(QRect(680, 16, 77, 49), kGreen));
    EXPECT_EQ(at(150, 240), kGrey);
    EXPECT_TRUE(show(1, {4000}));
    EXPECT_EQ(at(150, 240), kGreen);
    EXPECT_EQ(at(865, kY0), kAxis);
}

TEST_F(ChartTest, ConfirmedRangeClearsThePlotAndRescales) {
    ASSERT_TRUE(show(1, {4000}));
    EXPECT_STREQ(rangeRefusalText(confirmRange(-10.0f, 0.0f)), " >0! ");
    EXPECT_EQ(at(150, 240), kGreen) << "a refused range leaves the chart alone";
    EXPECT_EQ(confirmRange(0.0f, 5.0f), RangeRefusal::None);
    EXPECT_EQ(at(150, 240), kGrey);
    ASSERT_TRUE(show(1, {4000}));
    // 0..5000 over 200 pixels: 25 counts per pixel, zero 31 pixels above the bottom.
    EXPECT_EQ(at(150, kPlot.bottom - 31 - 160), kGreen);
    EXPECT_EQ(at(150, kPlot.bottom - 31 - 161), kGrey);
}

// A chart in motion is painted again only where it changed; the image must
// end up as the whole plan painted anew would leave it, at every step: bars
// that grow, shrink, change sign and colour, texts that move and change
// width, marks crossed, the verdict turning.
TEST_F(ChartTest, PaintingWhatChangedLeavesTheImageOfAFullPaint) { expectPartialPaintsMatchFullPaints(nullptr); }

// Outlined bars of characteristics, moving with their probes, labels of three
// characters and values without a bar.
TEST_F(ChartTest, PaintingWhatChangedLeavesTheImageOfAFullPaintWithCharacteristics) {
    std::string text;
    for (unsigned k = 1; k <= gaugemon::measure::kMaxCharacteristics; ++k) {
        const unsigned p = k % 59 + 1;
        text += "C" + std::to_string(k) + "; 3; -2; 2; " +
                (k % 3 == 0 ? "range(p" + std::to_string(p) + "..p" + std::to_string(p + 1) + ")"
                            : "p" + std::to_string(p) + " - 0.5*p" + std::to_string(p + 1)) +
                "\n";
    }
    const auto parsed = gaugemon::measure::parseSetupText(text, gaugemon::measure::kMaxProbes);
    ASSERT_TRUE(parsed.refusals.empty());
    gaugemon::measure::CharacteristicEvaluator evaluator;
    evaluator.compile(parsed.setup);
    expectPartialPaintsMatchFullPaints(&evaluator);
}

TEST_F(ChartTest, DamageIsWhereTheChartChangedAndNothingWhenNothingDid) {
    ASSERT_TRUE(show(2, {4000, 4000}));
    chart.takeDamage();
    model.requestRedraw();
    ASSERT_TRUE(show(2, {4000, 4000}));
    EXPECT_TRUE(chart.takeDamage().isEmpty());

    // The second bar grows by 3 pixels (100 counts a pixel): its top rows and its
    // value text, with the ends rounded to bands of 16 lines; never the first
    // column or the lower part of its own bar.
    ASSERT_TRUE(show(2, {4000, 4300}));
    const QRegion damage = chart.takeDamage();
    const QRect bounds = damage.boundingRect();
    const int32_t secondColumn = columnLeft(kPlot, 1, 2);
    EXPECT_GE(bounds.left(), secondColumn - 2);
    EXPECT_TRUE(damage.contains(QRect(secondColumn, kY0 - 43, 4, 3)));
    EXPECT_FALSE(damage.intersects(QRect(secondColumn, kY0 - 20, 4, 20)));
    EXPECT_LT(bounds.height(), 60);
}
