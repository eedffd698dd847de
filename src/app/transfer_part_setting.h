#pragma once
#include <QSettings>
#include <optional>
#include <string>

#include "core/language.h"

class QWidget;

namespace gaugemon::app {

// The part a transfer file (.dfq) names: its number and description (UTF-8),
// kept in the settings group `Transfer`.
struct TransferPart {
    std::string number;
    std::string description;
};

TransferPart loadTransferPart(const QSettings& settings);

// Asks for the part in a small dialog filled with the stored one and stores
// the answer; nothing when the operator cancelled.
std::optional<TransferPart> askTransferPart(QWidget* parent, QSettings& settings, core::Language language);

}  // namespace gaugemon::app
