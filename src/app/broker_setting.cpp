#include "app/broker_setting.h"

#include <QInputDialog>
#include <QMessageBox>

namespace gaugemon::app {

std::optional<plant::MqttOptions> askBroker(QWidget* parent, QSettings& settings, core::Language language) {
    plant::MqttOptions options = plant::loadMqttOptions(settings);
    bool accepted = false;
    const QString url =
        QInputDialog::getText(parent, core::pick(language, "MQTT broker", "MQTT 代理"),
                              core::pick(language,
                                         "Publish the rows to the broker at (tcp://host:1883 or ssl://host:8883; "
                                         "empty: no publishing):",
                                         "将记录发布到代理（tcp://主机:1883 或 ssl://主机:8883；留空则不发布）："),
                              QLineEdit::Normal, QString::fromStdString(options.brokerUrl), &accepted)
            .trimmed();
    if (!accepted) return std::nullopt;
    options.brokerUrl = url.toStdString();
    if (const std::string refusal = plant::checkMqttOptions(options, language); !refusal.empty()) {
        QMessageBox::warning(parent, core::pick(language, "MQTT broker", "MQTT 代理"), QString::fromStdString(refusal));
        return std::nullopt;
    }
    settings.setValue(QStringLiteral("Mqtt/Url"), url);
    settings.sync();
    return options;
}

}  // namespace gaugemon::app
