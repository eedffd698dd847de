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
#include <QTableWidget>
#include <QVBoxLayout>

#include "statistics/figure_text.h"
#include "statistics/statistics_export.h"

namespace gaugemon::app {

namespace {

using core::pick;
using statistics::Column;

const QColor kNgRow{255, 210, 210};
const QColor kIncapable{255, 190, 120};
const QColor kWarningProbe{255, 235, 0};

QString text(core::Language language, const char* english, const char* chinese) {
    return QString::fromUtf8(pick(language, english, chinese));
}

}  // namespace

StatisticsChart::StatisticsChart(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setMinimumSize(320, 200);
}

void StatisticsChart::display(std::span<const int32_t> values, const statistics::ProbeFigures& figures,
                              display::LengthUnit unit, core::Language language) {
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

StatisticsWindow::StatisticsWindow(statistics::StatisticsSources& sources, QWidget* parent)
    : QDialog(parent), sources_(sources), language_(sources.language()) {
    setWindowTitle(text(language_, "Process statistics", "过程统计"));
    setModal(false);
    series_.follow(1);
    buildControls();
    resize(1100, 720);
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

    table_ = new QTableWidget(this);
    table_->setColumnCount(static_cast<int>(statistics::kColumns.size()));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
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
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!filling_ && row >= 0) selectProbe(static_cast<unsigned>(row) + 1);
    });
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    refresh();
    QDialog::showEvent(event);
}

void StatisticsWindow::refresh() {
    const records::RecordTable& rows = sources_.recordTable();
    statistics::StatisticsKeeper& keeper = sources_.statisticsKeeper();
    keeper.rowsChanged(rows);
    keeper.limitsChanged(sources_.tolerances(), rows);
    fillTable();
    showCharts();
}

void StatisticsWindow::selectProbe(unsigned probe) {
    if (probe == 0 || probe > link::kMaxProbes) return;
    series_.follow(probe);
    showCharts();
    if (static_cast<int>(probe) <= table_->rowCount() && table_->currentRow() != static_cast<int>(probe) - 1) {
        filling_ = true;
        table_->selectRow(static_cast<int>(probe) - 1);
        filling_ = false;
    }
}

void StatisticsWindow::fillTable() {
    const statistics::ProcessStatistics& figures = sources_.statisticsKeeper().statistics();
    const records::RecordTable& rows = sources_.recordTable();
    const display::LengthUnit unit = sources_.lengthUnit();
    const bool warningsShown = sources_.statisticsKeeper().preWarning().on();
    filling_ = true;
    QStringList titles;
    for (Column c : statistics::kColumns) titles << QString::fromStdString(columnTitle(c, language_, unit));
    table_->setHorizontalHeaderLabels(titles);
    table_->setRowCount(static_cast<int>(figures.probeCount()));
    for (unsigned probe = 1; probe <= figures.probeCount(); ++probe) {
        const statistics::ProbeFigures f = figures.figures(rows, probe);
        const bool ng = f.ngCount > 0;
        const bool incapable = f.cpk && *f.cpk < statistics::kCapableCpk;
        const bool warning = warningsShown && f.latestZone == tolerance::Zone::Warning;
        for (size_t c = 0; c < statistics::kColumns.size(); ++c) {
            const Column column = statistics::kColumns[c];
            auto* item = new QTableWidgetItem(QString::fromStdString(figureText(f, probe, column, language_, unit)));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (ng) item->setBackground(kNgRow);
            if (incapable && column == Column::Cpk) item->setBackground(kIncapable);
            if (warning && column == Column::Probe) item->setBackground(kWarningProbe);
            table_->setItem(static_cast<int>(probe) - 1, static_cast<int>(c), item);
        }
    }
    const int selected = static_cast<int>(series_.probe()) - 1;
    if (selected >= 0 && selected < table_->rowCount()) table_->selectRow(selected);
    filling_ = false;
}

void StatisticsWindow::showCharts() {
    const statistics::ProcessStatistics& figures = sources_.statisticsKeeper().statistics();
    const records::RecordTable& rows = sources_.recordTable();
    series_.sync(rows, figures.firstRow());
    const unsigned probe = series_.probe();
    const statistics::ProbeFigures f = figures.figures(rows, probe);
    const QString name = QString::fromStdString(figureText(f, probe, Column::Probe, language_, sources_.lengthUnit()));
    chartTitle_->setText(text(language_, "Run chart and histogram of ", "运行图和直方图: ") + name);
    runChart_->display(series_.values(), f, sources_.lengthUnit(), language_);
    histogram_->display(series_.values(), f, sources_.lengthUnit(), language_);
}

void StatisticsWindow::windowRowsEdited() {
    const auto rows = static_cast<uint32_t>(windowRows_->value());
    if (rows == sources_.statisticsKeeper().windowRows()) return;
    sources_.statisticsKeeper().setWindowRows(rows, sources_.recordTable());
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
    const records::FileWriteResult result = statistics::exportStatistics(
        path, sources_.statisticsKeeper().statistics(), sources_.recordTable(), language_, sources_.lengthUnit());
    if (!result.ok)
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(records::fileErrorMessage(result, language_)));
    return result.ok;
}

StatisticsWindow::~StatisticsWindow() {
    for (QObject* sender : std::initializer_list<QObject*>{windowRows_, preWarningBox_, preWarningShare_, table_})
        QObject::disconnect(sender, nullptr, this, nullptr);
}

}  // namespace gaugemon::app
