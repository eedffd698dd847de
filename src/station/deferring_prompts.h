#pragma once
#include <QMetaObject>
#include <QObject>
#include <string>

#include "core/prompts.h"

namespace gaugemon::station {

// The operator's prompts, but while a step must finish without a modal loop
// inside it (the outcome of a file write delivered on the spot), a message is
// shown after the step instead: a box in the middle of a step would run the
// timers on half-changed state. Questions are never deferred.
class DeferringPrompts : public core::Prompts {
public:
    DeferringPrompts(core::Prompts& prompts, QObject& afterStep) : prompts_(prompts), afterStep_(afterStep) {}

    void showMessage(std::string_view text) override {
        if (deferring_)
            showAfterStep(text);
        else
            prompts_.showMessage(text);
    }
    void showAfterStep(std::string_view text) {
        core::Prompts& prompts = prompts_;
        QMetaObject::invokeMethod(
            &afterStep_, [&prompts, message = std::string(text)] { prompts.showMessage(message); },
            Qt::QueuedConnection);
    }
    bool askYesNo(std::string_view text) override { return prompts_.askYesNo(text); }
    std::string askWorkpieceCode(core::Language language) override { return prompts_.askWorkpieceCode(language); }
    std::optional<core::SaveChoice> askSaveFile(core::Language language, std::string_view defaultName) override {
        return prompts_.askSaveFile(language, defaultName);
    }

    // Messages from now until the guard goes are shown after the step.
    class Deferral {
    public:
        explicit Deferral(DeferringPrompts& prompts) : prompts_(prompts), was_(prompts.deferring_) {
            prompts_.deferring_ = true;
        }
        ~Deferral() { prompts_.deferring_ = was_; }
        Deferral(const Deferral&) = delete;
        Deferral& operator=(const Deferral&) = delete;

    private:
        DeferringPrompts& prompts_;
        bool was_;
    };

private:
    core::Prompts& prompts_;
    QObject& afterStep_;
    bool deferring_ = false;
};

}  // namespace gaugemon::station
