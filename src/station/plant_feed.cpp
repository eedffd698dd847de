#include "station/plant_feed.h"

#include "plant/plant_log.h"

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

void PlantFeed::offer(std::span<const measure::Length> readings, const tolerance::Verdict& verdict) {
    if (!publisher_) return;
    const size_t count = std::min(readings.size(), live_.probes.size());
    live_.probeCount = static_cast<unsigned>(count);
    for (size_t i = 0; i < count; ++i) {
        plant::LiveProbe& probe = live_.probes[i];
        probe.counts = readings[i].counts;
        probe.fine = readings[i].fine();
        probe.verdict = verdict.probe(static_cast<unsigned>(i)) == tolerance::Judgement::Ng ? plant::ProbeVerdict::Ng
                                                                                            : plant::ProbeVerdict::Ok;
    }
    live_.anyNg = verdict.anyNg();
    live_.timeMs = 0;
    publisher_->offerReadings(live_);
}

void PlantFeed::stop() {
    if (publisher_) publisher_->stop();
}

}  // namespace gaugemon::station
