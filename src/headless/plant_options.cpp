#include "headless/plant_options.h"

#include "plant/plant_log.h"

namespace gaugemon::headless {

std::optional<plant::MqttOptions> plantOptions(const core::TextSettings& settings, const StartOptions& start,
                                               core::Language language) {
    plant::MqttOptions options = plant::loadMqttOptions(settings);
    if (!start.mqttUrl.empty()) options.brokerUrl = start.mqttUrl;
    if (!start.station.empty()) options.station = start.station;
    if (!options.publishing()) return std::nullopt;
    if (const std::string refusal = plant::checkMqttOptions(options, language); !refusal.empty()) {
        qCWarning(plant::plantLog).noquote() << QString::fromStdString(refusal);
        return std::nullopt;
    }
    return options;
}

}  // namespace gaugemon::headless
