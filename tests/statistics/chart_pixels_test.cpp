#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include "statistics/statistics_charts.h"

namespace gaugemon::statistics {
namespace {

// Share of the plot's inner width in row `y` painted in `color`.
double rowShare(const QImage& image, const QRect& plot, int y, const QColor& color) {
    int hits = 0;
    for (int x = plot.left() + 1; x < plot.right(); ++x) hits += image.pixelColor(x, y) == color ? 1 : 0;
    return static_cast<double>(hits) / (plot.width() - 2);
}

ProbeFigures figuresOf(double lsl, double usl, double mean, double sd, double min, double max, uint64_t count) {
    ProbeFigures f;
    f.lsl = lsl;
    f.usl = usl;
    f.mean = mean;
    f.stdDev = sd;
    f.min = min;
    f.max = max;
    f.count = count;
    return f;
}

TEST(RunChart, LimitMeanAndNaturalLinesAreWhereTheLayoutPutsThem) {
    std::vector<int32_t> values;
    for (int i = 0; i < 5000; ++i) values.push_back(45'000 + (i * 37) % 2001 - 1000);
    const ProbeFigures f = figuresOf(3.0, 6.0, 4.5, 0.058, 4.4, 4.6, values.size());
    QImage image(800, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    RunChartPainter chart;
    const RunChartLayout layout =
        chart.paint(painter, image.rect(), values, f, measure::LengthUnit::Millimetre, core::Language::English);
    painter.end();
    EXPECT_GT(rowShare(image, layout.plot, layout.yOf(30'000), chart_colors::kLimit), 0.95);
    EXPECT_GT(rowShare(image, layout.plot, layout.yOf(60'000), chart_colors::kLimit), 0.95);
    // The mean runs through the readings, so only where they leave room.
    EXPECT_GT(rowShare(image, layout.plot, layout.yOf(45'000), chart_colors::kMean), 0.05);
    // Dashed natural limits: about half of the row.
    EXPECT_GT(rowShare(image, layout.plot, layout.yOf(45'000 + 3 * 580), chart_colors::kNatural), 0.3);
    // The readings are drawn: between the limits, dark pixels.
    EXPECT_GT(rowShare(image, layout.plot, layout.yOf(45'500), chart_colors::kReading), 0.3);
    EXPECT_LT(layout.yOf(60'000), layout.yOf(30'000));

    // No readings, reversed limits, a plot too small: nothing to fail on.
    QImage tiny(60, 20, QImage::Format_RGB32);
    QPainter small(&tiny);
    ProbeFigures empty;
    empty.bandValid = false;
    chart.paint(small, tiny.rect(), {}, empty, measure::LengthUnit::Inch, core::Language::Chinese);
    HistogramPainter().paint(small, tiny.rect(), {}, empty, measure::LengthUnit::Inch, core::Language::Chinese);
}

TEST(Histogram, LimitLinesStandAtTheLimitsAndTheCurveIsDrawn) {
    std::vector<int32_t> values;
    for (int i = 0; i < 2000; ++i) values.push_back(45'000 + (i % 41) * 50 - 1000);
    const ProbeFigures f = figuresOf(3.0, 6.0, 4.5, 0.06, 4.4, 4.6, values.size());
    QImage image(500, 260, QImage::Format_RGB32);
    QPainter painter(&image);
    const HistogramLayout layout = HistogramPainter().paint(painter, image.rect(), values, f,
                                                            measure::LengthUnit::Millimetre, core::Language::English);
    painter.end();
    for (double limit : {30'000.0, 60'000.0}) {
        const int x = layout.xOf(limit);
        int hits = 0;
        for (int y = layout.plot.top() + 1; y < layout.plot.bottom(); ++y)
            hits += image.pixelColor(x, y) == chart_colors::kLimit ? 1 : 0;
        EXPECT_GT(hits, layout.plot.height() - 4) << limit;
    }
    int binPixels = 0;
    for (int x = layout.plot.left(); x < layout.plot.right(); ++x)
        binPixels += image.pixelColor(x, layout.plot.bottom() - 2) == chart_colors::kBin ? 1 : 0;
    EXPECT_GT(binPixels, 0);
}

// Fonts and painting need the application object for the whole run.
struct GuiEnvironment : ::testing::Environment {
    int argc = 1;
    char name[20] = "statistics_charts";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    void SetUp() override { app = std::make_unique<QGuiApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
[[maybe_unused]] auto* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
}  // namespace gaugemon::statistics
