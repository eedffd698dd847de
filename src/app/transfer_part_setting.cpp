#include "app/transfer_part_setting.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace gaugemon::app {

void askTransferPart(QWidget* parent, station::Station& station) {
    const core::Language language = station.language();
    QDialog dialog(parent);
    dialog.setWindowTitle(core::pick(language, "Part in AQDEF files", "AQDEF 文件的零件"));
    auto* number = new QLineEdit(QString::fromStdString(station.partNumber()), &dialog);
    auto* description = new QLineEdit(QString::fromStdString(station.partDescription()), &dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(core::pick(language, "Part number:", "零件号："), number);
    form->addRow(core::pick(language, "Part description:", "零件名称："), description);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return;
    station.setTransferPart(number->text().trimmed().toStdString(), description->text().trimmed().toStdString());
}

}  // namespace gaugemon::app
