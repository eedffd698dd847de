#pragma once
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <optional>
#include <vector>

#include "statistics/probe_series.h"
#include "statistics/statistics_charts.h"
#include "statistics/statistics_keeper.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace gaugemon::app {

// The run chart or the histogram of the probe chosen, painted from the
// series the window keeps.
class StatisticsChart : public QWidget {
public:
    enum class Kind { Run, Histogram };
    StatisticsChart(Kind kind, QWidget* parent);
    void display(std::span<const int32_t> values, const statistics::ProbeFigures& figures, display::LengthUnit unit,
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
    display::LengthUnit unit_ = display::LengthUnit::Millimetre;
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
// recording go on while it is open.
class StatisticsWindow : public QDialog {
public:
    StatisticsWindow(statistics::StatisticsSources& sources, QWidget* parent = nullptr);
    // Children that lose the focus while they are destroyed must not call back.
    ~StatisticsWindow() override;

    // Takes in what changed in the table or the limits and shows it.
    void refresh();
    // The same while the window is open; after every recorded row.
    void refreshIfShown() {
        if (isVisible()) refresh();
    }
    // The probe (1-based) whose charts are shown, as by a click on the main
    // window's chart column.
    void selectProbe(unsigned probe);
    unsigned selectedProbe() const { return series_.probe(); }

    // Writes the table to `path`; false (after telling the operator) when
    // the file could not be written.
    bool exportTo(const std::string& path);

    StatisticsChart& runChart() { return *runChart_; }
    StatisticsChart& histogram() { return *histogram_; }
    const QTableWidget& figureTable() const { return *table_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void fillTable();
    void showCharts();
    void chooseExportFile();
    void windowRowsEdited();
    void preWarningEdited();

    statistics::StatisticsSources& sources_;
    core::Language language_;
    statistics::ProbeSeries series_;
    QTableWidget* table_ = nullptr;
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
