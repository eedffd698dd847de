#pragma once
#include <QDialog>

#include "core/language.h"

namespace gaugemon::app {

// The help dialog of each language: icon, title, heading and eight tips.
class HelpDialog : public QDialog {
    Q_OBJECT
public:
    HelpDialog(core::Language language, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace gaugemon::app
