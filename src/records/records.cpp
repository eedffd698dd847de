#include "records/records.h"

#include <algorithm>

#include "records/record_texts.h"

namespace gaugemon::records {

bool confirmClose(const RecordTable& table, core::Prompts& prompts, core::Language language) {
    if (!table.hasUnsavedRows()) return true;
    return prompts.askYesNo(core::pick(language, text::kUnsavedRowsEn, text::kUnsavedRowsZh));
}

Records::Records(const RecordsSeams& seams)
    : codes(seams.store),
      recorder(table, codes, seams.sources, seams.timers, seams.store, seams.prompts, seams.clock, readingWatch,
               seams.watchdog),
      backup(table, codes, seams.sources, seams.timers, seams.clock, seams.prompts, seams.watchdog,
             seams.backupDirectory),
      exporter(table, codes, seams.sources, seams.prompts, seams.watchdog),
      prompts_(seams.prompts),
      sources_(seams.sources) {}

bool Records::onTimer(int id) {
    if (id == core::timer::kRecord) {
        recorder.onRecordTimer();
        return true;
    }
    if (id == core::timer::kBackup) {
        backup.onBackupTimer();
        return true;
    }
    return false;
}

ColumnPreparation Records::onConnected(unsigned probeCount) {
    ColumnPreparation preparation = prepareColumns(probeCount);
    recorder.onConnected();
    return preparation;
}

ColumnPreparation Records::onCharacteristicsChanged() {
    // Without a connection the next one builds the columns.
    if (!sources_.connected()) return {};
    return prepareColumns(sources_.probeCount());
}

ColumnPreparation Records::prepareColumns(unsigned probeCount) {
    const core::Language language = sources_.language();
    const std::span<const CharacteristicColumn> characteristics = sources_.characteristicColumns();
    const TableLayout wanted{std::clamp<unsigned>(probeCount, 1, measure::kMaxProbes),
                             codes.enabled(),
                             language,
                             {characteristics.begin(), characteristics.end()}};
    ColumnPreparation preparation = table.prepareColumns(wanted);
    if (preparation.outcome == PrepareOutcome::KeptRowsOfOtherLayout) {
        recorder.noteBlockedReported();
        prompts_.showMessage(layoutChangeMessage(preparation, language));
    }
    return preparation;
}

void Records::onDisconnect() {
    recorder.onDisconnect();
    backup.onDisconnect();
}

void Records::useWriter(SnapshotWriter& writer) {
    backup.useWriter(&writer);
    exporter.useWriter(&writer);
    table.setBeforeReset([&writer] { writer.finishWrite(); });
}

bool Records::confirmClose() { return records::confirmClose(table, prompts_, sources_.language()); }

}  // namespace gaugemon::records
