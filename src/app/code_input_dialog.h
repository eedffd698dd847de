#pragma once
#include <QDialog>
#include <QString>

#include "core/language.h"

class QLineEdit;

namespace gaugemon::app {

// Asks for a workpiece code. Enter and OK take the text; Escape does nothing;
// the close box leaves a single blank.
class CodeInputDialog : public QDialog {
    Q_OBJECT
public:
    CodeInputDialog(core::Language language, QWidget* parent);
    const QString& code() const { return code_; }
    QLineEdit* edit() const { return edit_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void take();

    QLineEdit* edit_;
    QString code_ = QStringLiteral(" ");
};

}  // namespace gaugemon::app
