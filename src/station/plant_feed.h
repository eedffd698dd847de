#pragma once
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "journal/journal.h"
#include "link/link_state.h"
#include "measure/characteristic.h"
#include "measure/characteristic_evaluator.h"
#include "measure/length.h"
#include "plant/mqtt_options.h"
#include "plant/plant_json.h"
#include "plant/publisher.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::station {

class Station;

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
    // The readings of one poll with their verdict and limits; the publisher
    // keeps at most its rate of them.
    // The characteristics computed from them go along, under the names
    // nameCharacteristics took.
    void offer(std::span<const measure::Length> readings, const tolerance::Verdict& verdict,
               const tolerance::ToleranceTable& limits, const measure::CharacteristicValues& characteristics,
               const measure::CharacteristicEvaluator& evaluator);
    // The definitions changed: their names, copied once rather than per poll.
    void nameCharacteristics(const measure::CharacteristicSetup& setup);
    // The station may have changed what its status shows: compares a few
    // counts, and builds and hands over the status only when one moved.
    void statusMayHaveChanged(const Station& station);
    void stop();
    bool publishing() const { return publisher_ != nullptr; }
    // Rows the broker acknowledged this run.
    uint64_t publishedRows() const { return publisher_ ? publisher_->publishedRows() : 0; }

private:
    void takeCharacteristics(const measure::CharacteristicValues& values,
                             const measure::CharacteristicEvaluator& evaluator, const tolerance::Verdict& verdict);

    std::optional<plant::MqttOptions> options_;
    std::unique_ptr<plant::Publisher> publisher_;
    plant::LiveReadings live_;
    unsigned namedCharacteristics_ = 0;
    // What the last status handed over was taken from.
    std::array<uint64_t, 8> statusKey_{};
};

}  // namespace gaugemon::station
