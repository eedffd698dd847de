#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "core/language.h"

namespace gaugemon::core {

// What the operator picked in the save-file dialog.
struct SaveChoice {
    std::string path;     // UTF-8
    int filterIndex = 0;  // 0-based index into the dialog's filter list
};

// Modal interactions with the operator. Each runs a nested loop in which the
// timers keep firing, as a modal box does on the real screen.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A plain message box with an OK button.
    virtual void showMessage(std::string_view text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
    // The workpiece-code dialog; returns the entered text (UTF-8).
    virtual std::string askWorkpieceCode(Language language) = 0;
    // The save-file dialog; nothing when the operator cancels.
    virtual std::optional<SaveChoice> askSaveFile(Language language, std::string_view defaultName) = 0;
};

}  // namespace gaugemon::core
