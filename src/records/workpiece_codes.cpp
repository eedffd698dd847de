#include "records/workpiece_codes.h"

namespace gaugemon::records {

WorkpieceCodes::WorkpieceCodes(core::SettingsStore& store)
    : store_(store), enabled_(store.readInt(core::keys::kCodeEn, core::defaults::kCodeEn) != 0) {}

void WorkpieceCodes::setEnabled(bool on) {
    enabled_ = on;
    store_.writeInt(core::keys::kCodeEn, on ? 1 : 0);
}

void WorkpieceCodes::requestEdit(uint32_t row, const WorkpieceCode& code) {
    editRequested_ = true;
    editedRow_ = row;
    editedCode_ = code;
}

WorkpieceCode askWorkpieceCode(core::Prompts& prompts, core::Language language) {
    for (;;) {
        const CodeCheck check = checkCode(prompts.askWorkpieceCode(language));
        if (check.problem == CodeProblem::None) return check.code;
        prompts.showMessage(codeProblemMessage(check.problem, language));
    }
}

}  // namespace gaugemon::records
