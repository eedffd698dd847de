#pragma once
#include <optional>

#include "core/language.h"
#include "core/text_settings.h"
#include "headless/command_line.h"
#include "plant/mqtt_options.h"

namespace gaugemon::headless {

// The broker to publish to: the stored settings, the environment's user and
// password, and the command line's --mqtt and --station over them. Nothing
// when publishing is off; a wrong setting is logged once, and the station
// runs without publishing.
std::optional<plant::MqttOptions> plantOptions(const core::TextSettings& settings, const StartOptions& start,
                                               core::Language language);

}  // namespace gaugemon::headless
