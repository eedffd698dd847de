// The statistics window with a known table, in both languages: its figures,
// its charts' limit lines, the probe choice and the settings it changes.
// The pictures are kept as test artefacts for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QSpinBox>
#include <QTableWidget>

#include "app/statistics_window.h"
#include "records/records_test_support.h"
#include "statistics/figure_text.h"
#include "statistics/statistics_settings.h"
#include "statistics_test_support.h"
#include "support/memory_settings_store.h"

namespace gaugemon::app {
namespace {

using core::Language;
using link::ChannelReading;

struct FakeStation : statistics::StatisticsSources {
    core::MemorySettingsStore store;
    statistics::test::NumberTable rows{3};
    statistics::StatisticsKeeper keeper{store};
    tolerance::ToleranceTable limits;  // 3.000 .. 6.000 mm
    Language lang = Language::English;
    display::LengthUnit unit = display::LengthUnit::Millimetre;
    std::vector<tolerance::PreWarning> preWarningChanges;

    FakeStation() {
        // Probe 1 wanders around 4.5 mm, probe 2 sits near its upper limit
        // (warning strip, Cpk low), probe 3 goes out now and then.
        for (int r = 0; r < 400; ++r) {
            const int32_t wobble = (r * 37) % 201 - 100;
            rows.add(std::vector<ChannelReading>{
                {4500 + wobble, false}, {5850 + wobble / 4, false}, {r % 50 == 0 ? 6100 : 5000 + wobble, false}});
        }
    }
    const records::RecordTable& recordTable() const override { return rows.table; }
    statistics::StatisticsKeeper& statisticsKeeper() override { return keeper; }
    const tolerance::ToleranceTable& tolerances() const override { return limits; }
    display::LengthUnit lengthUnit() const override { return unit; }
    core::Language language() const override { return lang; }
    void changePreWarning(tolerance::PreWarning preWarning) override {
        keeper.setPreWarning(preWarning);
        preWarningChanges.push_back(preWarning);
    }
};

QString save(QWidget& widget, const char* name) {
    const QString directory = qEnvironmentVariable("GAUGEMON_ARTIFACT_DIR", QDir::currentPath() + "/artifacts");
    QDir().mkpath(directory);
    const QString path = directory + "/" + name;
    EXPECT_TRUE(widget.grab().save(path));
    return path;
}

// Share of the plot's inner width in row `y` painted in `color`.
double rowShare(const QImage& image, const QRect& plot, int y, const QColor& color) {
    int hits = 0;
    for (int x = plot.left() + 1; x < plot.right(); ++x) hits += image.pixelColor(x, y) == color ? 1 : 0;
    return static_cast<double>(hits) / (plot.width() - 2);
}

class StatisticsWindowShot : public ::testing::TestWithParam<Language> {};

TEST_P(StatisticsWindowShot, TableAndRunChartWithItsLimitLines) {
    FakeStation station;
    station.lang = GetParam();
    station.keeper.setPreWarning({80});
    StatisticsWindow window(station);
    window.show();
    QApplication::processEvents();
    window.selectProbe(2);
    QApplication::processEvents();

    const QTableWidget& table = window.figureTable();
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.item(0, 1)->text(), "400");
    EXPECT_EQ(table.item(2, 7)->text(), "8");  // probe 3 out of tolerance every 50th row
    EXPECT_EQ(table.item(2, 0)->background().color(), QColor(255, 210, 210));
    EXPECT_EQ(table.item(1, 0)->background().color(), QColor(255, 235, 0));  // newest reading warns
    EXPECT_EQ(window.selectedProbe(), 2u);

    const QImage shot = window.runChart().grab().toImage();
    const statistics::RunChartLayout& run = window.runChart().runLayout();
    for (double limit : {30'000.0, 60'000.0})
        EXPECT_GT(rowShare(shot, run.plot, run.yOf(limit), statistics::chart_colors::kLimit), 0.9) << limit;
    EXPECT_GT(rowShare(shot, run.plot, run.yOf(58'300), statistics::chart_colors::kReading), 0.2);

    save(window, GetParam() == Language::English ? "statistics_en.png" : "statistics_zh.png");
}

INSTANTIATE_TEST_SUITE_P(Languages, StatisticsWindowShot, ::testing::Values(Language::English, Language::Chinese),
                         [](const auto& info) { return info.param == Language::English ? "English" : "Chinese"; });

TEST(StatisticsWindowSettings, RowsAndPreWarningAreStoredAndReachTheStation) {
    FakeStation station;
    StatisticsWindow window(station);
    window.show();
    QApplication::processEvents();
    auto* rows = window.findChild<QSpinBox*>();
    ASSERT_NE(rows, nullptr);
    rows->setValue(100);
    emit rows->editingFinished();
    EXPECT_EQ(statistics::loadWindowRows(station.store), 100u);
    EXPECT_EQ(window.figureTable().item(0, 1)->text(), "100");

    auto* box = window.findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    box->setChecked(true);
    ASSERT_EQ(station.preWarningChanges.size(), 1u);
    EXPECT_EQ(station.preWarningChanges[0].sharePercent, tolerance::PreWarning::kDefaultShare);
    EXPECT_EQ(tolerance::loadPreWarning(station.store).sharePercent, tolerance::PreWarning::kDefaultShare);
}

TEST(StatisticsWindowExport, WritesTheCsvAndAnEmptyTableShowsDashes) {
    FakeStation station;
    StatisticsWindow window(station);
    records::test::TempDir dir;
    const std::string path = (dir.path() / "figures.csv").string();
    ASSERT_TRUE(window.exportTo(path));
    EXPECT_EQ(records::test::readFile(path).rfind("\xEF\xBB\xBFProbe,n,Mean (mm)", 0), 0u);

    station.rows.table.clearTable();
    window.refresh();
    EXPECT_EQ(window.figureTable().item(0, 2)->text(), QString::fromUtf8(statistics::kUndefined));
}

struct WidgetEnvironment : ::testing::Environment {
    int argc = 1;
    char name[20] = "statistics_window";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
[[maybe_unused]] auto* const kWidgets = ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

}  // namespace
}  // namespace gaugemon::app
