#pragma once
#include <QWidget>

#include "app/prompts.h"

namespace gaugemon::app {

// Message boxes and modal dialogs on screen. Each runs a nested event loop,
// in which the window's timers keep firing.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent) : parent_(parent) {}
    // Boxes are centred on and modal to this window.
    void setParent(QWidget* parent) { parent_ = parent; }

    void showMessage(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::string askWorkpieceCode(Language language) override;
    std::optional<SaveChoice> askSaveFile(Language language, std::string_view defaultName) override;

private:
    QWidget* parent_;
};

}  // namespace gaugemon::app
