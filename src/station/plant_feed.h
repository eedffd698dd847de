#pragma once
#include <memory>
#include <optional>
#include <span>

#include "journal/journal.h"
#include "link/link_state.h"
#include "measure/length.h"
#include "plant/mqtt_options.h"
#include "plant/plant_json.h"
#include "plant/publisher.h"
#include "tolerance/verdict.h"

namespace gaugemon::station {

// The station's rows and readings on their way to the plant's broker. Rows
// go from the crash journal, so publishing starts once the journal is open;
// without a journal nothing is published (a row must never be only in a
// queue in memory).
class PlantFeed {
public:
    PlantFeed() = default;
    ~PlantFeed() { stop(); }
    PlantFeed(const PlantFeed&) = delete;
    PlantFeed& operator=(const PlantFeed&) = delete;

    // Checked options (an empty URL: no publishing): at once when the
    // journal is open, else when it opens. A publisher running before stops.
    void publishTo(plant::MqttOptions options, journal::Journal& journal);
    void journalOpened(journal::Journal& journal);
    // The readings of one poll with their verdict; the publisher keeps at
    // most its rate of them.
    void offer(std::span<const measure::Length> readings, const tolerance::Verdict& verdict);
    void stop();
    bool publishing() const { return publisher_ != nullptr; }

private:
    std::optional<plant::MqttOptions> options_;
    std::unique_ptr<plant::Publisher> publisher_;
    plant::LiveReadings live_;
};

}  // namespace gaugemon::station
