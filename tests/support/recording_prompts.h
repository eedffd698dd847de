#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/prompts.h"

namespace gaugemon::testing {

// Prompts for tests: records every message, answers from scripts, and can run
// a callback while a "modal" prompt is open (to let virtual time pass inside).
class RecordingPrompts : public core::Prompts {
public:
    void showMessage(std::string_view text) override {
        messages.emplace_back(text);
        if (whileOpen) whileOpen();
    }
    bool askYesNo(std::string_view text) override {
        questions.emplace_back(text);
        const bool answer = yesNoAnswers.empty() ? false : yesNoAnswers.front();
        if (!yesNoAnswers.empty()) yesNoAnswers.pop_front();
        return answer;
    }
    std::string askWorkpieceCode(core::Language) override {
        ++codeDialogs;
        if (whileOpen) whileOpen();
        std::string code = codes.empty() ? std::string(" ") : codes.front();
        if (!codes.empty()) codes.pop_front();
        return code;
    }
    std::optional<core::SaveChoice> askSaveFile(core::Language, std::string_view) override {
        if (saveChoices.empty()) return std::nullopt;
        auto choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> yesNoAnswers;
    std::deque<std::string> codes;
    std::deque<std::optional<core::SaveChoice>> saveChoices;
    int codeDialogs = 0;
    std::function<void()> whileOpen;
};

}  // namespace gaugemon::testing
