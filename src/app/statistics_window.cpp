#include "app/statistics_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "app/statistics_table_model.h"
#include "statistics/figure_text.h"
#include "statistics/statistics_export.h"

namespace gaugemon::app {

namespace {

using core::pick;
using statistics::Column;

QString text(core::Language language, const char* english, const char* chinese) {
    return QString::fromUtf8(pick(language, english, chinese));
}

}  // namespace

StatisticsChart::StatisticsChart(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setMinimumSize(320, 200);
}

void StatisticsChart::display(std::span<const int32_t> values, const statistics::ProbeFigures& figures,
                              measure::LengthUnit unit, core::Language language) {
    values_ = values;
    figures_ = figures;
    unit_ = unit;
    language_ = language;
    update();
}

void StatisticsChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (kind_ == Kind::Run)
        runLayout_ = runPainter_.paint(painter, rect(), values_, figures_, unit_, language_);
    else
        histogramLayout_ = histogramPainter_.paint(painter, rect(), values_, figures_, unit_, language_);
}

StatisticsWindow::StatisticsWindow(statistics::StatisticsSources& sources, std::unique_ptr<core::TimerSchedule> timers,
                                   QWidget* parent)
    : QDialog(parent), sources_(sources), timers_(std::move(timers)), language_(sources.language()) {
    setWindowTitle(text(language_, "Process statistics", "过程统计"));
    setModal(false);
    series_.follow(1);
    buildControls();
    resize(1100, 720);
    timers_->setTickHandler([this](int id) {
        if (id == kRefreshTimer) refreshTick();
    });
}

void StatisticsWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(text(language_, "Rows (0 = all):", "统计行数 (0 = 全部):"), this));
    windowRows_ = new QSpinBox(this);
    windowRows_->setRange(0, static_cast<int>(records::kMaxRows));
    windowRows_->setValue(static_cast<int>(sources_.statisticsKeeper().windowRows()));
    controls->addWidget(windowRows_);
    controls->addSpacing(24);
    preWarningBox_ = new QCheckBox(text(language_, "Pre-warning at", "预警界限"), this);
    preWarningShare_ = new QSpinBox(this);
    preWarningShare_->setRange(1, 99);
    preWarningShare_->setSuffix(text(language_, " % of the band", " % 公差带"));
    const tolerance::PreWarning preWarning = sources_.statisticsKeeper().preWarning();
    preWarningBox_->setChecked(preWarning.on());
    preWarningShare_->setValue(preWarning.on() ? preWarning.sharePercent : tolerance::PreWarning::kDefaultShare);
    controls->addWidget(preWarningBox_);
    controls->addWidget(preWarningShare_);
    controls->addStretch(1);
    exportButton_ = new QPushButton(text(language_, "Export CSV...", "导出CSV..."), this);
    controls->addWidget(exportButton_);
    auto* close = new QPushButton(text(language_, "Close", "关闭"), this);
    controls->addWidget(close);
    layout->addLayout(controls);

    model_ = new StatisticsTableModel(language_, this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    // Fitted to their contents when a column's longest text changes in
    // length, not on every change of a figure: fitting reads every cell.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    layout->addWidget(table_, 1);

    chartTitle_ = new QLabel(this);
    layout->addWidget(chartTitle_);
    auto* charts = new QHBoxLayout;
    runChart_ = new StatisticsChart(StatisticsChart::Kind::Run, this);
    histogram_ = new StatisticsChart(StatisticsChart::Kind::Histogram, this);
    charts->addWidget(runChart_, 3);
    charts->addWidget(histogram_, 2);
    layout->addLayout(charts, 1);

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(exportButton_, &QPushButton::clicked, this, [this] { chooseExportFile(); });
    connect(windowRows_, &QSpinBox::editingFinished, this, [this] { windowRowsEdited(); });
    connect(preWarningBox_, &QCheckBox::toggled, this, [this] { preWarningEdited(); });
    connect(preWarningShare_, &QSpinBox::editingFinished, this, [this] { preWarningEdited(); });
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!filling_ && current.isValid()) selectValue(static_cast<unsigned>(current.row()) + 1);
            });
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    refresh();
    timers_->start(kRefreshTimer, kRefreshMs);
    QDialog::showEvent(event);
}

void StatisticsWindow::hideEvent(QHideEvent* event) {
    timers_->stop(kRefreshTimer);
    QDialog::hideEvent(event);
}

void StatisticsWindow::refreshTick() {
    if (isVisible() && !isMinimized()) refresh();
}

void StatisticsWindow::refresh() {
    sources_.refreshStatistics();
    fillTable();
    showCharts();
}

void StatisticsWindow::selectValue(unsigned value) {
    if (value == 0 || value > measure::kMaxValues) return;
    series_.follow(value);
    showCharts();
    selectRow(value);
}

void StatisticsWindow::selectRow(unsigned value) {
    const int row = static_cast<int>(value) - 1;
    if (row < 0 || row >= model_->rowCount() || table_->currentIndex().row() == row) return;
    filling_ = true;
    table_->selectRow(row);
    filling_ = false;
}

void StatisticsWindow::fillTable() {
    const statistics::StatisticsKeeper& keeper = sources_.statisticsKeeper();
    const StatisticsTableModel::Columns refit =
        model_->update(keeper.statistics(), sources_.recordTable(), sources_.lengthUnit(), keeper.preWarning().on());
    for (int c = 0; c < StatisticsTableModel::kColumnCount; ++c)
        if (refit.test(static_cast<size_t>(c))) table_->resizeColumnToContents(c);
    selectRow(series_.probe());
}

// The charts read the series anew only while they can be seen, and paint
// again only when their input changed.
void StatisticsWindow::showCharts() {
    if (!isVisible()) return;
    const statistics::ProcessStatistics& figures = sources_.statisticsKeeper().statistics();
    const records::RecordTable& rows = sources_.recordTable();
    series_.sync(rows, figures.firstRow());
    const unsigned value = series_.probe();
    ChartInput input{value, series_.revision(), figures.figures(rows, value), sources_.lengthUnit()};
    if (chartInput_ == input) return;
    chartInput_ = input;
    const QString name =
        QString::fromStdString(figureText(input.figures, rows.layout(), value, Column::Probe, language_, input.unit));
    chartTitle_->setText(text(language_, "Run chart and histogram of ", "运行图和直方图: ") + name);
    runChart_->display(series_.values(), input.figures, input.unit, language_);
    histogram_->display(series_.values(), input.figures, input.unit, language_);
}

void StatisticsWindow::windowRowsEdited() {
    const auto rows = static_cast<uint32_t>(windowRows_->value());
    if (rows == sources_.statisticsKeeper().windowRows()) return;
    sources_.setStatisticsWindow(rows);
    refresh();
}

void StatisticsWindow::preWarningEdited() {
    const tolerance::PreWarning chosen{preWarningBox_->isChecked() ? preWarningShare_->value()
                                                                   : tolerance::PreWarning::kOff};
    if (chosen == sources_.statisticsKeeper().preWarning()) return;
    sources_.changePreWarning(chosen);
    refresh();
}

void StatisticsWindow::chooseExportFile() {
    const QString path = QFileDialog::getSaveFileName(this, text(language_, "Export statistics", "导出统计"), QString(),
                                                      text(language_, "CSV (*.csv)", "CSV 文件 (*.csv)"));
    if (path.isEmpty()) return;
    exportTo(path.toStdString());
}

bool StatisticsWindow::exportTo(const std::string& path) {
    refresh();
    const records::FileWriteResult result = sources_.exportStatistics(path);
    if (!result.ok)
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(records::fileErrorMessage(result, language_)));
    return result.ok;
}

StatisticsWindow::~StatisticsWindow() {
    timers_->setTickHandler({});
    for (QObject* sender :
         std::initializer_list<QObject*>{windowRows_, preWarningBox_, preWarningShare_, table_->selectionModel()})
        QObject::disconnect(sender, nullptr, this, nullptr);
}

}  // namespace gaugemon::app
