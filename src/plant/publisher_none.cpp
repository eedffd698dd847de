// The publisher of a build without an MQTT client library: it says once that
// this build cannot publish and leaves every row in the journal, where a
// build that can will find it.
#include "plant/plant_log.h"
#include "plant/publisher.h"

namespace gaugemon::plant {

class PublisherCore {};

Publisher::Publisher(MqttOptions options, std::string /*journalFilePath*/) {
    if (options.publishing())
        qCWarning(plantLog, "this build of the station has no MQTT client: nothing is published to %s",
                  options.brokerUrl.c_str());
}

Publisher::~Publisher() = default;
void Publisher::start() {}
void Publisher::stop() {}
std::function<void()> Publisher::writtenListener() const {
    return [] {};
}
void Publisher::offerReadings(const LiveReadings& /*readings*/) {}
void Publisher::offerStatus(const StationStatus& /*status*/) {}
bool Publisher::connected() const { return false; }
uint64_t Publisher::publishedRows() const { return 0; }

}  // namespace gaugemon::plant
