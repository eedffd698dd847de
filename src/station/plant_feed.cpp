#include "station/plant_feed.h"

#include "plant/plant_log.h"
#include "station/station.h"
#include "station/station_status.h"

namespace gaugemon::station {

void PlantFeed::publishTo(plant::MqttOptions options, journal::Journal& journal) {
    stop();
    publisher_.reset();
    options_ = std::move(options);
    if (journal.isOn()) journalOpened(journal);
}

void PlantFeed::journalOpened(journal::Journal& journal) {
    if (!options_ || !options_->publishing() || publisher_) return;
    if (!journal.isOn()) {
        qCWarning(plant::plantLog, "nothing is published to %s: the rows go out from the journal, which is off",
                  options_->brokerUrl.c_str());
        return;
    }
    if (const uint64_t lost = journal.prunedUnpublished())
        qCWarning(plant::plantLog, "%llu recorded rows were older than the journal keeps and never reached the broker",
                  static_cast<unsigned long long>(lost));
    publisher_ = std::make_unique<plant::Publisher>(*options_, journal.filePath());
    journal.setWrittenListener(publisher_->writtenListener());
    publisher_->start();
}

namespace {

plant::ProbeZone liveZone(tolerance::Zone zone) {
    switch (zone) {
        case tolerance::Zone::Ok: return plant::ProbeZone::Ok;
        case tolerance::Zone::Warning: return plant::ProbeZone::Warning;
        case tolerance::Zone::Ng: break;
    }
    return plant::ProbeZone::Ng;
}

}  // namespace

void PlantFeed::offer(std::span<const measure::Length> readings, const tolerance::Verdict& verdict,
                      const tolerance::ToleranceTable& limits, const measure::CharacteristicValues& characteristics,
                      const measure::CharacteristicEvaluator& evaluator) {
    if (!publisher_) return;
    const size_t count = std::min(readings.size(), live_.probes.size());
    live_.probeCount = static_cast<unsigned>(count);
    for (size_t i = 0; i < count; ++i) {
        plant::LiveProbe& probe = live_.probes[i];
        probe.counts = readings[i].counts;
        probe.fine = readings[i].fine();
        probe.verdict = verdict.probe(static_cast<unsigned>(i)) == tolerance::Judgement::Ng ? plant::ProbeVerdict::Ng
                                                                                            : plant::ProbeVerdict::Ok;
        const tolerance::ProbeLimits& band = limits.limits(static_cast<unsigned>(i) + 1);
        probe.withLimits = true;
        probe.lowerCounts = band.lslCounts;
        probe.upperCounts = band.uslCounts;
        probe.zone = liveZone(verdict.zone(static_cast<unsigned>(i)));
    }
    takeCharacteristics(characteristics, evaluator, verdict);
    live_.anyNg = verdict.anyNg();
    live_.timeMs = 0;
    publisher_->offerReadings(live_);
}

void PlantFeed::nameCharacteristics(const measure::CharacteristicSetup& setup) {
    namedCharacteristics_ =
        static_cast<unsigned>(std::min<size_t>(setup.definitions.size(), measure::kMaxCharacteristics));
    for (unsigned i = 0; i < namedCharacteristics_; ++i) {
        std::array<char, 33>& slot = live_.characteristics[i].name;
        const std::string& name = setup.definitions[i].name;
        const size_t length = std::min(name.size(), slot.size() - 1);
        std::copy_n(name.data(), length, slot.data());
        slot[length] = '\0';
    }
}

void PlantFeed::takeCharacteristics(const measure::CharacteristicValues& values,
                                    const measure::CharacteristicEvaluator& evaluator,
                                    const tolerance::Verdict& verdict) {
    const unsigned count = std::min({values.count, evaluator.count(), namedCharacteristics_});
    live_.characteristicCount = count;
    for (unsigned i = 0; i < count; ++i) {
        plant::LiveCharacteristic& live = live_.characteristics[i];
        const std::optional<measure::Length>& value = values.values[i];
        live.present = value.has_value();
        live.counts = value ? value->counts : 0;
        live.fine = value && value->fine();
        live.lowerCounts = evaluator.limits(i).lowerCounts;
        live.upperCounts = evaluator.limits(i).upperCounts;
        live.zone = liveZone(verdict.characteristic(i));
    }
}

void PlantFeed::statusMayHaveChanged(const Station& station) {
    if (!publisher_) return;
    const link::LinkState& link = station.linkState();
    const records::RecordTable& table = station.recordTable();
    const std::array<uint64_t, 8> key{link.connected,
                                      link.probeCount,
                                      link.missCount,
                                      link.errorCount,
                                      table.rowCount(),
                                      table.savedStamp(),
                                      static_cast<uint64_t>(link.pollPeriodMs),
                                      publisher_->publishedRows()};
    if (key == statusKey_) return;
    statusKey_ = key;
    publisher_->offerStatus(stationStatus(station, options_->station));
}

void PlantFeed::stop() {
    if (publisher_) publisher_->stop();
}

}  // namespace gaugemon::station
