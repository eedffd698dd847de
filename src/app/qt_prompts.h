#pragma once
#include <QWidget>

#include "core/prompts.h"

namespace gaugemon::app {

// Message boxes and modal dialogs on screen. Each runs a nested event loop,
// in which the window's timers keep firing.
class QtPrompts : public core::Prompts {
public:
    explicit QtPrompts(QWidget* parent) : parent_(parent) {}
    // Boxes are centred on and modal to this window.
    void setParent(QWidget* parent) { parent_ = parent; }

    void showMessage(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    std::string askWorkpieceCode(core::Language language) override;
    std::optional<core::SaveChoice> askSaveFile(core::Language language, std::string_view defaultName) override;

private:
    QWidget* parent_;
};

}  // namespace gaugemon::app
