#pragma once
#include <QSettings>
#include <optional>

#include "core/language.h"
#include "plant/mqtt_options.h"

class QWidget;

namespace gaugemon::app {

// The window's setting of the plant's broker: asks for its address, checks
// it and stores it. The options to publish with (an empty URL: publishing
// off), or nothing when the operator cancelled or the address was refused
// (and told why).
std::optional<plant::MqttOptions> askBroker(QWidget* parent, QSettings& settings, core::Language language);

}  // namespace gaugemon::app
