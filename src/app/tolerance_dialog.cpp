#include "app/tolerance_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "station/field_parsing.h"
#include "tolerance/tolerance_dialog_texts.h"
#include "tolerance/tolerance_entry.h"
#include "tolerance/tolerance_text.h"

namespace gaugemon::app {

using station::formatNumberField;
using station::kNumberRejected;
using station::kProbeNumberRejected;
using station::parseNumberField;
using station::parseProbeNumber;

namespace {
QString text(const char* utf8) { return QString::fromUtf8(utf8); }
QString text(std::string_view latin) { return QString::fromLatin1(latin.data(), static_cast<qsizetype>(latin.size())); }
QString probeLabel(unsigned probe) { return QStringLiteral("%1").arg(probe, 2, 10, QLatin1Char('0')); }
}  // namespace

ToleranceDialog::ToleranceDialog(station::Station& station, core::Prompts& prompts,
                                 std::unique_ptr<core::TimerSchedule> timers, QWidget* parent)
    : QDialog(parent),
      station_(station),
      unit_(station.display().unit()),
      prompts_(prompts),
      timers_(std::move(timers)) {
    const tolerance::ToleranceDialogTexts texts = tolerance::toleranceDialogTexts(station.language());
    setObjectName("tolerances132");
    setWindowTitle(text(texts.title));
    list_ = new QTableWidget(static_cast<int>(tolerance::kToleranceProbes), 3, this);
    list_->setHorizontalHeaderLabels({text(texts.probe), text(texts.lsl), text(texts.usl)});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setColumnWidth(0, 50);
    list_->setColumnWidth(1, 80);
    list_->setColumnWidth(2, 80);
    for (unsigned probe = 1; probe <= tolerance::kToleranceProbes; ++probe) {
        auto* item = new QTableWidgetItem(probeLabel(probe));
        item->setTextAlignment(Qt::AlignCenter);
        list_->setItem(static_cast<int>(probe - 1), 0, item);
        showRow(probe);
    }
    probe_ = new QLineEdit(this);
    lower_ = new QLineEdit(this);
    upper_ = new QLineEdit(this);
    auto* group = new QGroupBox(text(texts.group), this);
    auto* fields = new QGridLayout(group);
    fields->addWidget(new QLabel(text(texts.probe), group), 0, 0);
    fields->addWidget(probe_, 0, 1);
    fields->addWidget(new QLabel(text(texts.lsl), group), 1, 0);
    fields->addWidget(lower_, 1, 1);
    fields->addWidget(new QLabel(text(texts.usl), group), 2, 0);
    fields->addWidget(upper_, 2, 1);
    auto* ok = new QPushButton(text(texts.ok), this);
    auto* copyFirst = new QPushButton(text(texts.copyFirst), this);
    auto* exit = new QPushButton(text(texts.exit), this);
    ok->setObjectName("ok");
    copyFirst->setObjectName("copyFirst");
    exit->setObjectName("exit");
    for (QPushButton* button : {ok, copyFirst, exit}) button->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &ToleranceDialog::pressOk);
    connect(copyFirst, &QPushButton::clicked, this, &ToleranceDialog::pressCopyFirst);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    auto* side = new QVBoxLayout();
    side->addWidget(new QLabel(text(texts.listHint), this));
    side->addWidget(group);
    side->addWidget(ok);
    side->addWidget(copyFirst);
    side->addStretch(1);
    side->addWidget(exit);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(side);
    resize(560, 480);

    timers_->setTickHandler([this](int id) {
        if (id == kSelectionTimer) followSelection();
    });
    timers_->start(kSelectionTimer, 100);
}

void ToleranceDialog::showRow(unsigned probe) {
    const tolerance::ProbeLimits& limits = station_.tolerances().limits(probe);
    const int row = static_cast<int>(probe - 1);
    for (int column : {1, 2}) {
        const int32_t value = column == 1 ? limits.lslDisplay : limits.uslDisplay;
        auto* item = new QTableWidgetItem(text(tolerance::formatLimitText(value, unit_).text()));
        item->setTextAlignment(Qt::AlignCenter);
        list_->setItem(row, column, item);
    }
}

void ToleranceDialog::followSelection() {
    const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
    const int mark = ranges.isEmpty() ? -1 : ranges.front().topRow();
    if (const auto fields = selection_.follow(mark, station_.tolerances(), unit_)) {
        probeValue_ = fields->probe;
        lowerValue_ = fields->lower;
        upperValue_ = fields->upper;
        probe_->setText(QString::number(probeValue_));
        lower_->setText(QString::fromStdString(formatNumberField(lowerValue_)));
        upper_->setText(QString::fromStdString(formatNumberField(upperValue_)));
    }
}

bool ToleranceDialog::readFields() {
    // Reading stops at the first refused field, which gets the focus; the
    // fields after it are not read.
    auto refuse = [this](QLineEdit* edit, const char* message) {
        prompts_.showMessage(message);
        edit->setFocus();
        edit->selectAll();
        return false;
    };
    const auto probe = parseProbeNumber(probe_->text().toStdString());
    if (!probe) return refuse(probe_, kProbeNumberRejected);
    probeValue_ = *probe;
    for (auto [edit, value] : {std::pair{lower_, &lowerValue_}, std::pair{upper_, &upperValue_}}) {
        const auto parsed = parseNumberField(edit->text().toStdString());
        if (!parsed) return refuse(edit, kNumberRejected);
        *value = *parsed;
    }
    return true;
}

void ToleranceDialog::pressOk() {
    // A refused field stores nothing: the limits still held from before
    // belong to the probe loaded last, not necessarily to the one typed.
    if (!readFields()) return;
    const tolerance::LimitChange change = station_.setLimits(probeValue_, lowerValue_, upperValue_);
    if (change.message) prompts_.showMessage(change.message);
    if (!change.stored) return;
    showRow(probeValue_);
}

void ToleranceDialog::pressCopyFirst() {
    station_.copyFirstLimits();
    for (unsigned probe = 2; probe <= tolerance::kToleranceProbes; ++probe) showRow(probe);
}

}  // namespace gaugemon::app
