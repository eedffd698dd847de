// The statistics window with a known table, in both languages: its figures,
// its charts' limit lines, the probe choice, the settings it changes and how
// it takes in new rows. The pictures are kept as test artefacts for a person
// to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QSpinBox>
#include <QTableView>

#include "app/statistics_window.h"
#include "records/records_test_support.h"
#include "statistics/figure_text.h"
#include "statistics/statistics_settings.h"
#include "statistics_test_support.h"
#include "support/memory_settings_store.h"
#include "support/virtual_time.h"

namespace gaugemon::app {
namespace {

using core::Language;
using measure::Length;

struct FakeStation : statistics::StatisticsSources {
    core::VirtualTime time;
    core::MemorySettingsStore store;
    statistics::test::NumberTable rows{3, {{"Dia", 3}}};
    statistics::StatisticsKeeper keeper{store};
    tolerance::ToleranceTable limits;  // 3.000 .. 6.000 mm
    Language lang = Language::English;
    measure::LengthUnit unit = measure::LengthUnit::Millimetre;
    std::vector<tolerance::PreWarning> preWarningChanges;

    FakeStation() {
        // Probe 1 wanders around 4.5 mm, probe 2 sits near its upper limit
        // (warning strip, Cpk low), probe 3 goes out now and then.
        for (int r = 0; r < 400; ++r) {
            const int32_t wobble = (r * 37) % 201 - 100;
            // A diameter over probes 1 and 2, 10.25 .. 10.45 mm.
            const std::optional<Length> diameter = measure::micrometres(10'350 + wobble + wobble / 4);
            rows.add(std::vector<Length>{measure::micrometres(4500 + wobble), measure::micrometres(5850 + wobble / 4),
                                         measure::micrometres(r % 50 == 0 ? 6100 : 5000 + wobble)},
                     std::span(&diameter, 1));
        }
    }
    const records::RecordTable& recordTable() const override { return rows.table; }
    const statistics::StatisticsKeeper& statisticsKeeper() const override { return keeper; }
    statistics::StatisticsKeeper& changeableKeeper() override { return keeper; }
    const tolerance::ToleranceTable& tolerances() const override { return limits; }
    void characteristicLimitsOfRows(std::span<records::LimitCounts> out) const override { out[0] = {10'000, 10'700}; }
    measure::LengthUnit lengthUnit() const override { return unit; }
    core::Language language() const override { return lang; }
    void changePreWarning(tolerance::PreWarning preWarning) override {
        keeper.setPreWarning(preWarning);
        preWarningChanges.push_back(preWarning);
    }
};

std::unique_ptr<core::TimerSchedule> timersOf(FakeStation& station) {
    return std::make_unique<core::VirtualTimerSchedule>(station.time);
}

QVariant cell(const StatisticsWindow& window, int row, int column, int role = Qt::DisplayRole) {
    return window.figureTable().model()->index(row, column).data(role);
}

QColor background(const StatisticsWindow& window, int row, int column) {
    return cell(window, row, column, Qt::BackgroundRole).value<QBrush>().color();
}

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
    StatisticsWindow window(station, timersOf(station));
    window.show();
    QApplication::processEvents();
    window.selectValue(2);
    QApplication::processEvents();

    ASSERT_EQ(window.figureTable().model()->rowCount(), 4);
    EXPECT_EQ(cell(window, 0, 1).toString(), "400");
    EXPECT_EQ(cell(window, 3, 0).toString(), "Dia");  // after the probes, within its own limits
    EXPECT_EQ(cell(window, 3, 7).toString(), "0");
    EXPECT_EQ(cell(window, 2, 7).toString(), "8");  // probe 3 out of tolerance every 50th row
    EXPECT_EQ(background(window, 2, 0), QColor(255, 210, 210));
    EXPECT_EQ(background(window, 1, 0), QColor(255, 235, 0));  // newest reading warns
    EXPECT_EQ(window.selectedValue(), 2u);

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
    StatisticsWindow window(station, timersOf(station));
    window.show();
    QApplication::processEvents();
    auto* rows = window.findChild<QSpinBox*>();
    ASSERT_NE(rows, nullptr);
    rows->setValue(100);
    emit rows->editingFinished();
    EXPECT_EQ(statistics::loadWindowRows(station.store), 100u);
    EXPECT_EQ(cell(window, 0, 1).toString(), "100");

    auto* box = window.findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    box->setChecked(true);
    ASSERT_EQ(station.preWarningChanges.size(), 1u);
    EXPECT_EQ(station.preWarningChanges[0].sharePercent, tolerance::PreWarning::kDefaultShare);
    EXPECT_EQ(tolerance::loadPreWarning(station.store).sharePercent, tolerance::PreWarning::kDefaultShare);
}

TEST(StatisticsWindowExport, WritesTheCsvAndAnEmptyTableShowsDashes) {
    FakeStation station;
    StatisticsWindow window(station, timersOf(station));
    records::test::TempDir dir;
    const std::string path = (dir.path() / "figures.csv").string();
    ASSERT_TRUE(window.exportTo(path));
    EXPECT_EQ(records::test::readFile(path).rfind("\xEF\xBB\xBFProbe,n,Mean (mm)", 0), 0u);

    station.rows.table.clearTable();
    window.refresh();
    EXPECT_EQ(cell(window, 0, 2).toString(), QString::fromUtf8(statistics::kUndefined));
}

// Counts the paint events of one widget.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// It once rebuilt every cell on each recorded row, which at 60 probes and a
// row every 0.1 s took the whole core from polling.
TEST(StatisticsWindowRefresh, NewRowsAreTakenInAFewTimesASecondRepaintingOnlyWhatChanged) {
    FakeStation station;
    StatisticsWindow window(station, timersOf(station));
    window.show();
    QApplication::processEvents();
    int changedCells = 0;
    int resets = 0;
    const QAbstractItemModel& model = *window.figureTable().model();
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from, const QModelIndex& to) {
        changedCells += (to.row() - from.row() + 1) * (to.column() - from.column() + 1);
    });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    PaintCounter runPaints(window.runChart());

    station.time.advanceBy(StatisticsWindow::kRefreshMs * 4);  // nothing new
    QApplication::processEvents();
    EXPECT_EQ(changedCells, 0);
    EXPECT_EQ(runPaints.paints, 0);

    // One row more: the window takes it in at its next refresh, not before.
    station.rows.add(std::vector<Length>{measure::micrometres(4500), measure::micrometres(5850 - 25),
                                         measure::micrometres(5000 + 100)});
    station.time.advanceBy(StatisticsWindow::kRefreshMs - 1);
    EXPECT_EQ(cell(window, 0, 1).toString(), "400");
    station.time.advanceBy(1);
    EXPECT_EQ(cell(window, 0, 1).toString(), "401");
    QApplication::processEvents();
    EXPECT_GT(changedCells, 0);
    EXPECT_EQ(resets, 0);
    EXPECT_GT(runPaints.paints, 0);

    // Hidden, the window reads nothing; shown again, it catches up at once.
    window.hide();
    station.rows.addSame(measure::micrometres(4500));
    station.time.advanceBy(StatisticsWindow::kRefreshMs * 2);
    EXPECT_EQ(cell(window, 0, 1).toString(), "401");
    window.show();
    EXPECT_EQ(cell(window, 0, 1).toString(), "402");
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
