#pragma once
#include <string>

#include "core/clock.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "records/periodic_backup.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/recorder.h"
#include "records/workpiece_codes.h"
#include "records/worksheet_export.h"

namespace gaugemon::records {

// The seams the records reach the station through.
struct RecordsSeams {
    core::TimerSchedule& timers;
    core::SettingsStore& store;
    core::Prompts& prompts;
    const core::Clock& clock;
    const RecordSources& sources;
    // The link's watchdog, paused while a long step runs.
    link::Watchdog& watchdog;
    std::string backupDirectory;  // the directory of the executable
};

// Closing the window or Exit: true when the program may end, asking first
// when rows exist that are in no file yet.
bool confirmClose(const RecordTable& table, core::Prompts& prompts, core::Language language);

// All the records of the main window in one place: the table, recording,
// workpiece codes, export and backup, and the calls the link makes.
class Records {
public:
    explicit Records(const RecordsSeams& seams);

    // Timers 3 and 7; false for any other id.
    bool onTimer(int id);
    // The connection step, with the probe count the instrument reported.
    // Rows of another layout stay and the operator is told why nothing new
    // is recorded until the table is saved and cleared.
    ColumnPreparation onConnected(unsigned probeCount);
    // Characteristics defined anew while connected: the columns follow as
    // at a connection, rows of the earlier ones stay until cleared.
    ColumnPreparation onCharacteristicsChanged();
    // Disconnect: ends recording and the backup box.
    void onDisconnect();
    // A valid reading answer was decoded (the display update of the answer tick).
    void onReadingArrived() { recorder.onReadingArrived(); }
    // A request went out; a command among them was answered.
    void onRequestSent() { readingWatch.noteRequest(); }
    void onCommandAnswered() { readingWatch.noteCommandAnswered(); }
    bool confirmClose();
    // The backup and the export write from snapshots on `writer`'s thread;
    // clearing the table or rebuilding its columns waits for its write.
    void useWriter(SnapshotWriter& writer);

    RecordTable table;
    ReadingWatch readingWatch;
    WorkpieceCodes codes;
    Recorder recorder;
    PeriodicBackup backup;
    WorksheetExport exporter;

private:
    ColumnPreparation prepareColumns(unsigned probeCount);

    core::Prompts& prompts_;
    const RecordSources& sources_;
};

}  // namespace gaugemon::records
