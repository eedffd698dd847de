#include "app/broker_setting.h"

#include <QInputDialog>
#include <QMessageBox>

namespace gaugemon::app {

void askBroker(QWidget* parent, station::Station& station) {
    const core::Language language = station.language();
    const QString title = core::pick(language, "MQTT broker", "MQTT 代理");
    bool accepted = false;
    const QString url =
        QInputDialog::getText(parent, title,
                              core::pick(language,
                                         "Publish the rows to the broker at (tcp://host:1883 or ssl://host:8883; "
                                         "empty: no publishing):",
                                         "将记录发布到代理（tcp://主机:1883 或 ssl://主机:8883；留空则不发布）："),
                              QLineEdit::Normal, QString::fromStdString(station.brokerUrl()), &accepted)
            .trimmed();
    if (!accepted) return;
    if (const std::string refusal = station.setBroker(url.toStdString()); !refusal.empty())
        QMessageBox::warning(parent, title, QString::fromStdString(refusal));
}

}  // namespace gaugemon::app
