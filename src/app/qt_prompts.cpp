#include "app/qt_prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "app/code_input_dialog.h"
#include "exchange/exchange.h"
#include "records/record_file.h"

namespace gaugemon::app {

namespace {
QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

void QtPrompts::showMessage(std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), fromUtf8(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPrompts::askYesNo(std::string_view text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::string QtPrompts::askWorkpieceCode(core::Language language) {
    CodeInputDialog dialog(language, parent_);
    dialog.exec();
    return dialog.code().toStdString();
}

std::optional<core::SaveChoice> QtPrompts::askSaveFile(core::Language language, std::string_view defaultName) {
    QStringList filters;
    for (const records::ExportFilter& filter : records::kExportFilters) filters << QString::fromUtf8(filter.label);
    for (const exchange::ExchangeFilter& filter : exchange::kExchangeFilters)
        filters << QString::fromUtf8(filter.label(language));
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(fromUtf8(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return core::SaveChoice{dialog.selectedFiles().front().toStdString(),
                            static_cast<int>(filters.indexOf(dialog.selectedNameFilter()))};
}

}  // namespace gaugemon::app
