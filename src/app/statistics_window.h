#pragma once
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "core/timer_schedule.h"
#include "statistics/probe_series.h"
#include "statistics/statistics_charts.h"
#include "statistics/statistics_keeper.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace gaugemon::app {

class StatisticsTableModel;

// The run chart or the histogram of the probe chosen, painted from the
// series the window keeps.
class StatisticsChart : public QWidget {
public:
    enum class Kind { Run, Histogram };
    StatisticsChart(Kind kind, QWidget* parent);
    void display(std::span<const int32_t> values, const statistics::ProbeFigures& figures, measure::LengthUnit unit,
                 core::Language language);
    // Where the last painting put the lines, in this widget's coordinates.
    const statistics::RunChartLayout& runLayout() const { return runLayout_; }
    const statistics::HistogramLayout& histogramLayout() const { return histogramLayout_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    std::span<const int32_t> values_;
    statistics::ProbeFigures figures_;
    measure::LengthUnit unit_ = measure::LengthUnit::Millimetre;
    core::Language language_ = core::Language::Chinese;
    statistics::RunChartPainter runPainter_;
    statistics::HistogramPainter histogramPainter_;
    statistics::RunChartLayout runLayout_;
    statistics::HistogramLayout histogramLayout_;
};

// Per-probe statistics of the recorded rows: a table of the figures (probes
// with NG readings, a Cpk below 1.33 or a newest reading in the warning strip
// marked), the run chart and the histogram of the probe selected, the rows
// considered, the pre-warning and the CSV export. Not modal: polling and
// recording go on while it is open. The figures come from the station's
// statistics, which it keeps row by row; while shown and not minimised the
// window takes them in a few times a second, whatever changed them, and
// repaints only the cells and charts whose content changed.
class StatisticsWindow : public QDialog {
public:
    static constexpr int kRefreshTimer = 1;
    static constexpr int kRefreshMs = 500;

    StatisticsWindow(statistics::StatisticsSources& sources, std::unique_ptr<core::TimerSchedule> timers,
                     QWidget* parent = nullptr);
    // Children that lose the focus while they are destroyed must not call back.
    ~StatisticsWindow() override;

    // Takes in what changed in the table or the limits and shows it.
    void refresh();
    // The value whose charts are shown, 1-based over the probes, then the
    // characteristics: a row of the table, or a click on the main window's
    // chart column.
    void selectValue(unsigned value);
    unsigned selectedValue() const { return series_.probe(); }

    // Writes the table to `path`; false (after telling the operator) when
    // the file could not be written.
    bool exportTo(const std::string& path);

    StatisticsChart& runChart() { return *runChart_; }
    StatisticsChart& histogram() { return *histogram_; }
    const QTableView& figureTable() const { return *table_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What the charts were last given.
    struct ChartInput {
        unsigned value = 0;
        uint64_t seriesRevision = 0;
        statistics::ProbeFigures figures;
        measure::LengthUnit unit = measure::LengthUnit::Millimetre;
        bool operator==(const ChartInput&) const = default;
    };

    void buildControls();
    void fillTable();
    void showCharts();
    void refreshTick();
    void selectRow(unsigned value);
    void chooseExportFile();
    void windowRowsEdited();
    void preWarningEdited();

    statistics::StatisticsSources& sources_;
    std::unique_ptr<core::TimerSchedule> timers_;
    core::Language language_;
    statistics::ProbeSeries series_;
    std::optional<ChartInput> chartInput_;
    StatisticsTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    StatisticsChart* runChart_ = nullptr;
    StatisticsChart* histogram_ = nullptr;
    QLabel* chartTitle_ = nullptr;
    QSpinBox* windowRows_ = nullptr;
    QCheckBox* preWarningBox_ = nullptr;
    QSpinBox* preWarningShare_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    bool filling_ = false;
};

}  // namespace gaugemon::app
