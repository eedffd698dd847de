#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts.h"

namespace gaugemon::records::test {

// Scripted operator: answers come from queues; `whileOpen` runs inside each
// dialog, as the nested loop of a modal box would (a test advances virtual
// time there).
class FakePrompts : public core::Prompts {
public:
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<std::string> codes;
    std::deque<std::optional<core::SaveChoice>> saveChoices;
    bool yesAnswer = true;
    int codeDialogs = 0;
    std::function<void()> whileOpen;

    void showMessage(std::string_view text) override {
        messages.emplace_back(text);
        runNested();
    }
    bool askYesNo(std::string_view text) override {
        questions.emplace_back(text);
        return yesAnswer;
    }
    std::string askWorkpieceCode(core::Language) override {
        ++codeDialogs;
        runNested();
        if (codes.empty()) return " ";  // closed by the title-bar button
        std::string code = codes.front();
        codes.pop_front();
        return code;
    }
    std::optional<core::SaveChoice> askSaveFile(core::Language, std::string_view) override {
        runNested();
        if (saveChoices.empty()) return std::nullopt;
        auto choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }

private:
    void runNested() {
        if (!whileOpen) return;
        auto hook = std::move(whileOpen);  // one nesting level unless the hook re-arms itself
        whileOpen = nullptr;
        hook();
    }
};

}  // namespace gaugemon::records::test
