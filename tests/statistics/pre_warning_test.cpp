#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <memory>

#include "display/chart_colors.h"
#include "display/chart_painter.h"
#include "display/display_model.h"
#include "support/memory_settings_store.h"
#include "tolerance/verdict.h"

namespace gaugemon::tolerance {
namespace {

using measure::Length;

// Limits 3.000 .. 6.000 mm: with 80 % the plain zone is 3.300 .. 5.700.
TEST(PreWarning, ZonesAtTheEdgesOfTheInnerShareAndOfTheBand) {
    ToleranceTable limits;
    const PreWarning on{80};
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(4500), on), Zone::Ok);
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(5700), on), Zone::Ok);
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(5701), on), Zone::Warning);
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(3299), on), Zone::Warning);
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(6000), on), Zone::Warning);
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(6001), on), Zone::Ng);
    // A fine-resolution reading is in tenths: 57.01 mm would be NG, 5.7001 mm warns.
    EXPECT_EQ(zoneOf(limits, 1, measure::tenthMicrometres(57'001), on), Zone::Warning);
    EXPECT_EQ(zoneOf(limits, 1, measure::tenthMicrometres(57'000), on), Zone::Ok);
    // Off, nothing warns.
    EXPECT_EQ(zoneOf(limits, 1, measure::micrometres(5999), PreWarning{}), Zone::Ok);
}

TEST(PreWarning, NeverChangesTheOkNgVerdict) {
    ToleranceTable limits;
    core::MemorySettingsStore store;
    limits.setDisplayLimits(2, 5000, 5000, measure::LengthUnit::Millimetre, store);  // equal limits
    limits.setDisplayLimits(3, 6000, 3000, measure::LengthUnit::Millimetre, store);  // reversed
    const std::array<Length, 3> readings{
        {measure::micrometres(5990), measure::micrometres(5000), measure::micrometres(4500)}};
    Verdict plain;
    Verdict warned;
    warned.setPreWarning({80});
    plain.judge(readings, limits);
    warned.judge(readings, limits);
    for (unsigned i = 0; i < readings.size(); ++i) EXPECT_EQ(plain.probe(i), warned.probe(i)) << i;
    EXPECT_EQ(plain.anyNg(), warned.anyNg());
    EXPECT_EQ(warned.zone(0), Zone::Warning);
    EXPECT_EQ(warned.zone(1), Zone::Ok);  // the only value equal limits accept
    EXPECT_EQ(warned.zone(2), Zone::Ng);
    EXPECT_EQ(plain.zone(0), Zone::Ok);
}

TEST(PreWarning, SettingOutsideOneToNinetyNineIsOff) {
    core::MemorySettingsStore store;
    EXPECT_FALSE(loadPreWarning(store).on());
    for (int32_t stored : {-5, 0, 100, 250, INT32_MIN}) {
        store.writeInt(keys::kPreWarn, stored);
        EXPECT_FALSE(loadPreWarning(store).on()) << stored;
    }
    ASSERT_TRUE(storePreWarning(store, {85}));
    EXPECT_EQ(loadPreWarning(store).sharePercent, 85);
    ASSERT_TRUE(storePreWarning(store, {}));
    EXPECT_EQ(store.readInt(keys::kPreWarn, -1), 0);
}

QRgb barPixel(const display::ChartPlan& plan, unsigned column) {
    const display::PixelRect& bar = plan.columns[column].bar;
    QImage image(1238, 758, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    display::ValueTextTable texts{};
    display::ChartPainter().paint(image, plan, texts);
    // A quarter up the bar, clear of the limit marks drawn across it.
    return image.pixel(bar.left + 1, bar.bottom - 1 - (bar.bottom - bar.top) / 4);
}

QRgb rgb(display::Rgb c) { return qRgb(c.r, c.g, c.b); }

// The chart takes the zone only through the verdict's zones: off, the same
// picture as ever; on, the column in the strip turns yellow, NG stays red.
TEST(PreWarning, ChartColumnIsYellowOnlyWhenOnAndInTheStrip) {
    ToleranceTable limits;
    const std::array<Length, 3> readings{
        {measure::micrometres(5900), measure::micrometres(4500), measure::micrometres(6500)}};
    for (bool on : {false, true}) {
        display::DisplayModel model;
        Verdict verdict;
        if (on) verdict.setPreWarning({80});
        verdict.judge(readings, limits);
        const display::ChartPlan* plan = model.update(readings, verdict, limits);
        ASSERT_NE(plan, nullptr);
        display::ChartPlan zoned = *plan;
        for (unsigned i = 0; i < readings.size(); ++i)
            display::planColumn(zoned, i, model.chartArea(), readings[i],
                                display::barExtent(readings[i], model.displayRange(), zoned.scale), limits,
                                verdict.zone(i));
        EXPECT_EQ(barPixel(zoned, 0), rgb(on ? display::colors::kWarning : display::colors::kOk)) << on;
        EXPECT_EQ(barPixel(zoned, 1), rgb(display::colors::kOk));
        EXPECT_EQ(barPixel(zoned, 2), rgb(display::colors::kNg));
        if (!on) {
            const QRgb before = barPixel(*plan, 0);
            EXPECT_EQ(before, barPixel(zoned, 0));
        }
    }
}

// The chart's faces need the application object for the whole run.
struct GuiEnvironment : ::testing::Environment {
    int argc = 1;
    char name[20] = "pre_warning";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    void SetUp() override { app = std::make_unique<QGuiApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
[[maybe_unused]] auto* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
}  // namespace gaugemon::tolerance
