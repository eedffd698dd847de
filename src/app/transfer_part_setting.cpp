#include "app/transfer_part_setting.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace gaugemon::app {

namespace {
const QString kNumberKey = QStringLiteral("Transfer/PartNumber");
const QString kDescriptionKey = QStringLiteral("Transfer/PartDescription");
}  // namespace

TransferPart loadTransferPart(const QSettings& settings) {
    return {settings.value(kNumberKey).toString().toStdString(),
            settings.value(kDescriptionKey).toString().toStdString()};
}

std::optional<TransferPart> askTransferPart(QWidget* parent, QSettings& settings, core::Language language) {
    const TransferPart stored = loadTransferPart(settings);
    QDialog dialog(parent);
    dialog.setWindowTitle(core::pick(language, "Part in AQDEF files", "AQDEF 文件的零件"));
    auto* number = new QLineEdit(QString::fromStdString(stored.number), &dialog);
    auto* description = new QLineEdit(QString::fromStdString(stored.description), &dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(core::pick(language, "Part number:", "零件号："), number);
    form->addRow(core::pick(language, "Part description:", "零件名称："), description);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const TransferPart part{number->text().trimmed().toStdString(), description->text().trimmed().toStdString()};
    settings.setValue(kNumberKey, QString::fromStdString(part.number));
    settings.setValue(kDescriptionKey, QString::fromStdString(part.description));
    settings.sync();
    return part;
}

}  // namespace gaugemon::app
