#pragma once
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "link/watchdog.h"
#include "records/atomic_file.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/table_snapshot.h"
#include "records/workpiece_codes.h"

namespace gaugemon::records {

// While the "60 sec Save" box is ticked, timer 7 rewrites the day's backup
// file "bak" + YYYYMMDD + ".xls" in the program's directory (tab-separated,
// header in the language of the moment, every row) whenever rows were added
// since the last backup. A failed backup is tried again at every tick, also
// while its message is shown; the message comes once until a backup succeeds.
// A day's file that this run did not write (one of an earlier run, maybe
// the only copy of its rows) is moved aside before the first write, not
// replaced.
class PeriodicBackup {
public:
    static constexpr int kPeriodMs = 60000;

    // `directory`: the directory of the executable.
    PeriodicBackup(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                   core::TimerSchedule& timers, const core::Clock& clock, core::Prompts& prompts,
                   link::Watchdog& watchdog, std::string directory);

    // With a writer the file is written on its thread and the outcome comes
    // later on this one; a tick while it still writes waits for the next tick.
    void useWriter(SnapshotWriter* writer) { writer_ = writer; }

    void setBoxTicked(bool ticked);
    bool boxTicked() const { return ticked_; }
    // Tick of timer 7.
    void onBackupTimer();
    // The end of the process: with the box ticked, the rows no backup holds
    // yet are written now, on this thread, and the file is complete on return.
    void writeBeforeExit();
    // The files written so far stay as they are: the next write of the
    // day's file moves it aside first, as it does an earlier run's.
    void keepFilesWritten() { written_.clear(); }
    // Disconnect unticks the box and stops timer 7.
    void onDisconnect();

    std::string pathFor(const core::LocalDateTime& time) const;
    const FileWriteResult& lastResult() const { return lastResult_; }

private:
    // Writes the table to `path`, first moving aside a file there that this
    // run did not write.
    FileWriteResult write(const std::string& path);
    void startWrite(const std::string& path);
    void finish(const FileWriteResult& result);
    void reportFailure();

    RecordTable& table_;
    const WorkpieceCodes& codes_;
    const RecordSources& sources_;
    core::TimerSchedule& timers_;
    const core::Clock& clock_;
    core::Prompts& prompts_;
    link::Watchdog& watchdog_;
    SnapshotWriter* writer_ = nullptr;
    std::string directory_;
    bool ticked_ = false;
    bool failureReported_ = false;      // told once until a backup succeeds
    std::vector<std::string> written_;  // the day's files this run wrote
    FileWriteResult lastResult_;
};

}  // namespace gaugemon::records
