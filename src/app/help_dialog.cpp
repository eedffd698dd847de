#include "app/help_dialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "app/help_texts.h"

namespace gaugemon::app {

HelpDialog::HelpDialog(core::Language language, QWidget* parent) : QDialog(parent) {
    const HelpTexts& texts = helpTexts(language);
    setWindowTitle(QString::fromUtf8(texts.caption));
    setObjectName(language == core::Language::English ? "help136" : "help100");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout();
    auto* icon = new QLabel(this);
    icon->setPixmap(parent ? parent->windowIcon().pixmap(32, 32) : QPixmap());
    top->addWidget(icon);
    auto* title = new QLabel(QString::fromUtf8(texts.title), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    top->addWidget(title, 1);
    layout->addLayout(top);
    layout->addWidget(new QLabel(QString::fromUtf8(texts.heading), this));
    for (const char* tip : texts.tips) {
        auto* label = new QLabel(QString::fromUtf8(tip), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    setMinimumWidth(language == core::Language::English ? 800 : 560);
}

void HelpDialog::keyPressEvent(QKeyEvent* event) {
    // Without buttons there is no default button for Enter to press; it
    // closes the dialog as Escape does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace gaugemon::app
