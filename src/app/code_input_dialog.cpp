#include "app/code_input_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace gaugemon::app {

CodeInputDialog::CodeInputDialog(core::Language language, QWidget* parent) : QDialog(parent) {
    setObjectName("codeInput137");
    setWindowTitle(QString::fromUtf8(core::pick(language, "Input Code", "输入编码")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(core::pick(language, "Input Code:", "输入编码：")), this));
    edit_ = new QLineEdit(this);
    layout->addWidget(edit_);
    layout->addWidget(
        new QLabel(QString::fromUtf8(core::pick(language, "Press Enter to Confirm", "按回车键也可确认")), this));
    auto* ok = new QPushButton(QString::fromUtf8(core::pick(language, "OK", "确定")), this);
    ok->setDefault(true);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &CodeInputDialog::take);
    connect(edit_, &QLineEdit::returnPressed, this, &CodeInputDialog::take);
    setMinimumWidth(320);
}

void CodeInputDialog::take() {
    code_ = edit_->text();
    accept();
}

void CodeInputDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace gaugemon::app
