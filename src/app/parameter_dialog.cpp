#include "app/parameter_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "station/field_parsing.h"

namespace gaugemon::app {

using station::kProbeNumberRejected;
using station::parseProbeNumber;

namespace {
QString text(core::Language language, const char* english, const char* chinese) {
    return QString::fromUtf8(core::pick(language, english, chinese));
}
}  // namespace

ParameterDialog::ParameterDialog(station::Station& station, core::Language language, core::Prompts& prompts,
                                 std::unique_ptr<core::TimerSchedule> timers, QWidget* parent)
    : QDialog(parent), station_(station), prompts_(prompts), timers_(std::move(timers)) {
    setObjectName("parameters130");
    setWindowTitle(text(language, "Set parameters", "参数设置"));
    baud_ = new QComboBox(this);
    baud_->addItems({"115200", "38400", "19200", "9600", "4800"});
    parity_ = new QComboBox(this);
    parity_->addItems({"None", "Odd", "Even"});
    format_ = new QComboBox(this);
    format_->addItems({"01", "FF"});
    format_->setEnabled(false);
    address_ = new QLineEdit(this);
    auto* form = new QFormLayout(this);
    form->addRow(text(language, "Baudrate", "波特率"), baud_);
    form->addRow(text(language, "Paritybit", "校验位"), parity_);
    form->addRow(text(language, "DataForm", "数据格式"), format_);
    form->addRow(text(language, "Address", "地址"), address_);
    auto* buttons = new QHBoxLayout();
    auto* ok = new QPushButton(text(language, "OK", "确定"), this);
    auto* cancel = new QPushButton(text(language, "Cancel", "取消"), this);
    ok->setObjectName("ok");
    cancel->setObjectName("cancel");
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    form->addRow(buttons);
    connect(ok, &QPushButton::clicked, this, &ParameterDialog::pressOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const link::ParameterChoice choice = station_.fillParameters();
    baud_->setCurrentIndex(choice.baudIndex);
    parity_->setCurrentIndex(choice.parityIndex);
    // The format is shown only once this instrument's flags have been read.
    format_->setCurrentIndex(-1);
    address_->setText(QString::number(choice.address));
    timers_->setTickHandler([this](int id) {
        if (id == kFlagsTimer) flagsTick();
    });
    const link::LinkState& link = station_.linkState();
    if (link.connected && link.dataFormat == link::DataFormat::Format01) timers_->start(kFlagsTimer, 100);
}

void ParameterDialog::flagsTick() {
    const int index = link::formatIndexFromFlags(station_.linkState().deviceFlags);
    if (index < 0) return;
    format_->setEnabled(true);
    format_->setCurrentIndex(index);
    station_.rememberFormatIndex(index);
    timers_->stop(kFlagsTimer);
}

void ParameterDialog::pressOk() {
    link::ParameterChoice choice;
    choice.baudIndex = baud_->currentIndex();
    choice.parityIndex = parity_->currentIndex();
    choice.formatIndex = format_->isEnabled() ? format_->currentIndex() : station_.rememberedParameters().formatIndex;
    const auto address = parseProbeNumber(address_->text().toStdString());
    if (!address) {
        prompts_.showMessage(kProbeNumberRejected);
        address_->setFocus();
        address_->selectAll();
        return;
    }
    choice.address = *address;
    if (station_.applyParameters(choice) == link::ParameterOk::AddressOutOfRange) {
        prompts_.showMessage(link::kAddressRangeMessage);
        return;
    }
    timers_->stop(kFlagsTimer);
    accept();
}

}  // namespace gaugemon::app
