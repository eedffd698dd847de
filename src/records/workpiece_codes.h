#pragma once
#include <cstdint>

#include "core/language.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "records/workpiece_code.h"

namespace gaugemon::records {

// The workpiece-code feature: whether rows carry a code (`CodeEn`), the code
// the operator entered last, and a code change waiting for the record timer.
class WorkpieceCodes {
public:
    explicit WorkpieceCodes(core::SettingsStore& store);

    bool enabled() const { return enabled_; }
    // The "Enable Code" box, offered only while disconnected. The record
    // table follows at the next connection (RecordTable::prepareColumns).
    // The modify button is enabled exactly when this is on.
    void setEnabled(bool on);

    // Carried by every recorded row until the operator enters another code.
    const WorkpieceCode& currentCode() const { return currentCode_; }
    void setCurrentCode(const WorkpieceCode& code) { currentCode_ = code; }

    // A code change of one recorded row, applied by the next record tick.
    bool editRequested() const { return editRequested_; }
    uint32_t editedRow() const { return editedRow_; }
    const WorkpieceCode& editedCode() const { return editedCode_; }
    void requestEdit(uint32_t row, const WorkpieceCode& code);
    void clearEditRequest() { editRequested_ = false; }

private:
    core::SettingsStore& store_;
    bool enabled_ = false;
    WorkpieceCode currentCode_;
    bool editRequested_ = false;
    uint32_t editedRow_ = 0;
    WorkpieceCode editedCode_;
};

// Runs the code dialog until the operator gives a code the record files can
// hold; each refused code is explained first. The dialog itself may check
// with checkCode and stay open, in which case this asks once.
WorkpieceCode askWorkpieceCode(core::Prompts& prompts, core::Language language);

}  // namespace gaugemon::records
