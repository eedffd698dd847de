#include "app/characteristics_dialog.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include "display/chart_colors.h"
#include "display/value_text.h"
#include "measure/setup_text.h"

namespace gaugemon::app {

namespace {

QString qtext(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

enum Column { NameColumn, FormulaColumn, LowerColumn, UpperColumn, ValueColumn, ColumnCount };

QColor zoneColor(measure::Zone zone) {
    const display::Rgb c = zone == measure::Zone::Ng        ? display::colors::kNg
                           : zone == measure::Zone::Warning ? display::colors::kWarning
                                                            : display::colors::kOk;
    return QColor(c.r, c.g, c.b);
}

// The probes of the readings a preview is computed from: those of the answer.
uint64_t usableMask(size_t probes) { return probes >= 64 ? ~uint64_t{0} : (uint64_t{1} << probes) - 1; }

}  // namespace

CharacteristicsDialog::CharacteristicsDialog(station::Station& station, core::Prompts& prompts,
                                             std::unique_ptr<core::TimerSchedule> timers, QWidget* parent)
    : QDialog(parent),
      station_(station),
      prompts_(prompts),
      timers_(std::move(timers)),
      editor_(station.characteristics(), station.probeCountForCharacteristics()) {
    const core::Language l = station.language();
    setObjectName("characteristics");
    setWindowTitle(core::pick(l, "Characteristics", "特性"));
    list_ = new QTableWidget(0, ColumnCount, this);
    list_->setHorizontalHeaderLabels({core::pick(l, "Name", "名称"), core::pick(l, "Formula", "公式"),
                                      core::pick(l, "LSL", "下公差"), core::pick(l, "USL", "上公差"),
                                      core::pick(l, "Value", "数值")});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->horizontalHeader()->setSectionResizeMode(FormulaColumn, QHeaderView::Stretch);
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { showFields(selectedRow()); });

    auto* group = new QGroupBox(core::pick(l, "Characteristic", "特性定义"), this);
    auto* form = new QFormLayout(group);
    const std::array<const char*, FieldCount> labels{
        core::pick(l, "Name:", "名称："), core::pick(l, "Decimals:", "小数位数："), core::pick(l, "LSL:", "下公差："),
        core::pick(l, "USL:", "上公差："), core::pick(l, "Formula:", "公式：")};
    for (size_t i = 0; i < fields_.size(); ++i) {
        fields_[i] = new QLineEdit(group);
        form->addRow(QString::fromUtf8(labels[i]), fields_[i]);
    }
    fields_[Formula]->setPlaceholderText(QStringLiteral("p1 + p2 + 25, range(p1..p8)"));

    auto button = [this](const char* caption, const char* name, void (CharacteristicsDialog::*action)()) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };
    auto* side = new QVBoxLayout();
    side->addWidget(group);
    side->addWidget(button(core::pick(l, "Add", "添加"), "add", &CharacteristicsDialog::pressAdd));
    side->addWidget(button(core::pick(l, "Replace", "替换"), "replace", &CharacteristicsDialog::pressReplace));
    side->addWidget(button(core::pick(l, "Remove", "删除"), "remove", &CharacteristicsDialog::pressRemove));
    side->addWidget(button(core::pick(l, "Import...", "导入..."), "import", &CharacteristicsDialog::importFile));
    side->addWidget(button(core::pick(l, "Export...", "导出..."), "export", &CharacteristicsDialog::exportFile));
    side->addStretch(1);
    side->addWidget(button("OK", "ok", &CharacteristicsDialog::pressOk));
    side->addWidget(button(core::pick(l, "Cancel", "取消"), "cancel", &CharacteristicsDialog::reject));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(side);
    resize(820, 440);
    showList();

    timers_->setTickHandler([this](int id) {
        if (id == kPreviewTimer) showPreview();
    });
    timers_->start(kPreviewTimer, kPreviewMs);
}

measure::DefinitionFields CharacteristicsDialog::typedFields() const {
    auto typed = [this](int i) { return fields_[static_cast<size_t>(i)]->text().trimmed().toStdString(); };
    return {typed(Name), typed(Decimals), typed(Lower), typed(Upper), typed(Formula)};
}

int CharacteristicsDialog::selectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void CharacteristicsDialog::showList() {
    const int selected = selectedRow();
    list_->setRowCount(static_cast<int>(editor_.size()));
    for (size_t i = 0; i < editor_.size(); ++i) {
        const measure::DefinitionFields f = editor_.fields(i);
        const int row = static_cast<int>(i);
        for (const auto& [column, value] : {std::pair{NameColumn, &f.name}, std::pair{FormulaColumn, &f.formula},
                                            std::pair{LowerColumn, &f.lower}, std::pair{UpperColumn, &f.upper}}) {
            list_->setItem(row, column, new QTableWidgetItem(qtext(*value)));
        }
        auto* value = new QTableWidgetItem();
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        list_->setItem(row, ValueColumn, value);
    }
    if (selected >= 0 && selected < list_->rowCount()) list_->selectRow(selected);
    showPreview();
}

void CharacteristicsDialog::showFields(int row) {
    if (row < 0) return;
    const measure::DefinitionFields f = editor_.fields(static_cast<size_t>(row));
    for (const auto& [index, value] :
         {std::pair{Name, &f.name}, std::pair{Decimals, &f.decimals}, std::pair{Lower, &f.lower},
          std::pair{Upper, &f.upper}, std::pair{Formula, &f.formula}}) {
        fields_[index]->setText(qtext(*value));
    }
}

void CharacteristicsDialog::showPreview() {
    const std::span<const measure::Length> readings = station_.currentReadings();
    const measure::CharacteristicValues& values = editor_.preview(readings, usableMask(readings.size()));
    const int32_t share = station_.verdict().preWarning().sharePercent;
    const measure::LengthUnit unit = editor_.setup().unit;
    for (unsigned i = 0; i < values.count && static_cast<int>(i) < list_->rowCount(); ++i) {
        QTableWidgetItem* item = list_->item(static_cast<int>(i), ValueColumn);
        if (!item) continue;
        const unsigned decimals = editor_.setup().definitions[i].decimals;
        const display::ValueText text = display::formatCharacteristicText(values.values[i], unit, decimals);
        item->setText(QString::fromLatin1(text.text().data(), 8).trimmed());
        item->setBackground(readings.empty() ? QBrush() : QBrush(zoneColor(editor_.previewZone(i, share))));
    }
}

void CharacteristicsDialog::refuse(const measure::Refusal& refusal) {
    prompts_.showMessage(measure::refusalText(refusal, station_.language()));
}

void CharacteristicsDialog::pressAdd() {
    if (const auto refusal = editor_.add(typedFields())) return refuse(*refusal);
    showList();
    list_->selectRow(static_cast<int>(editor_.size()) - 1);
}

void CharacteristicsDialog::pressReplace() {
    const int row = selectedRow();
    if (row < 0) return pressAdd();
    if (const auto refusal = editor_.replace(static_cast<size_t>(row), typedFields())) return refuse(*refusal);
    showList();
}

void CharacteristicsDialog::pressRemove() {
    const int row = selectedRow();
    if (row < 0) return;
    editor_.remove(static_cast<size_t>(row));
    list_->clearSelection();
    showList();
}

void CharacteristicsDialog::importFrom(const QString& path) {
    std::string text;
    if (const auto refusal = measure::readSetupFile(path.toStdString(), text)) return refuse(*refusal);
    const std::vector<measure::Refusal> refusals = editor_.importText(text);
    list_->clearSelection();
    showList();
    if (refusals.empty()) return;
    // The lines left out, each by its number, in one message.
    std::string message;
    for (const measure::Refusal& refusal : refusals) {
        if (!message.empty()) message += '\n';
        message += measure::refusalText(refusal, station_.language());
    }
    prompts_.showMessage(message);
}

void CharacteristicsDialog::exportTo(const QString& path) {
    const std::string text = editor_.exportText();
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) && file.commit();
    if (!written)
        prompts_.showMessage(core::pick(station_.language(), "The file could not be written.", "无法写入文件。"));
}

void CharacteristicsDialog::importFile() {
    const QString filter =
        core::pick(station_.language(), "Characteristics (*.txt);;All files (*)", "特性定义 (*.txt);;所有文件 (*)");
    const QString path = QFileDialog::getOpenFileName(this, windowTitle(), QString(), filter);
    if (!path.isEmpty()) importFrom(path);
}

void CharacteristicsDialog::exportFile() {
    const QString filter = core::pick(station_.language(), "Characteristics (*.txt)", "特性定义 (*.txt)");
    const QString path =
        QFileDialog::getSaveFileName(this, windowTitle(), QStringLiteral("characteristics.txt"), filter);
    if (!path.isEmpty()) exportTo(path);
}

void CharacteristicsDialog::pressOk() {
    if (const auto refusal = station_.setCharacteristics(editor_.setup())) return refuse(*refusal);
    accept();
}

}  // namespace gaugemon::app
