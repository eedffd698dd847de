#include "records/periodic_backup.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "records/file_aside.h"
#include "records/recorder.h"
#include "records/table_file.h"
#include "records/time_stamp.h"

namespace gaugemon::records {

PeriodicBackup::PeriodicBackup(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                               core::TimerSchedule& timers, const core::Clock& clock, core::Prompts& prompts,
                               link::Watchdog& watchdog, std::string directory)
    : table_(table),
      codes_(codes),
      sources_(sources),
      timers_(timers),
      clock_(clock),
      prompts_(prompts),
      watchdog_(watchdog),
      directory_(std::move(directory)) {}

void PeriodicBackup::setBoxTicked(bool ticked) {
    // Ticking the box anew is a new request: a failure is worth telling again.
    if (ticked && !ticked_) failureReported_ = false;
    ticked_ = ticked;
    if (ticked)
        timers_.start(core::timer::kBackup, kPeriodMs);
    else
        timers_.stop(core::timer::kBackup);
}

void PeriodicBackup::onDisconnect() { setBoxTicked(false); }

std::string PeriodicBackup::pathFor(const core::LocalDateTime& time) const {
    const auto date = formatDate(time);
    std::string name = "bak";
    name.append(date.data(), date.size());
    name += ".xls";
    return (std::filesystem::path(directory_) / name).string();
}

void PeriodicBackup::onBackupTimer() {
    if (!table_.rowsSinceBackup()) return;
    if (writer_) {
        if (writer_->busy()) return;
        table_.setRowsSinceBackup(false);
        // Only moving an earlier run's file aside happens here; the rows go on the writer's thread.
        link::WatchdogPause pause(watchdog_);
        startWrite(pathFor(clock_.localNow()));
        return;
    }
    table_.setRowsSinceBackup(false);
    {
        // A long write is not silence of the instrument.
        link::WatchdogPause pause(watchdog_);
        lastResult_ = write(pathFor(clock_.localNow()));
    }
    finish(lastResult_);
}

void PeriodicBackup::writeBeforeExit() {
    if (!ticked_) return;
    // Nothing may be left to the writer's thread or a tick that will not come.
    if (writer_) writer_->finishWrite();
    SnapshotWriter* const writer = std::exchange(writer_, nullptr);
    onBackupTimer();
    writer_ = writer;
}

void PeriodicBackup::finish(const FileWriteResult& result) {
    lastResult_ = result;
    if (lastResult_.ok) {
        failureReported_ = false;
        return;
    }
    table_.setRowsSinceBackup(true);
    reportFailure();
}

void PeriodicBackup::startWrite(const std::string& path) {
    const bool ours = std::find(written_.begin(), written_.end(), path) != written_.end();
    if (!ours) {
        FileWriteResult aside = moveAside(path);
        if (!aside.ok) return finish(aside);
    }
    startTableFile(*writer_, table_, sources_, codes_.enabled(), kTabFormat, path,
                   [this, path, ours](const FileWriteResult& result) {
                       if (result.ok && !ours) written_.push_back(path);
                       finish(result);
                   });
}

FileWriteResult PeriodicBackup::write(const std::string& path) {
    const bool ours = std::find(written_.begin(), written_.end(), path) != written_.end();
    if (!ours) {
        FileWriteResult aside = moveAside(path);
        if (!aside.ok) return aside;
    }
    FileWriteResult result = writeTableFile(table_, sources_, codes_.enabled(), kTabFormat, path);
    if (result.ok && !ours) written_.push_back(path);
    return result;
}

void PeriodicBackup::reportFailure() {
    if (failureReported_) return;
    failureReported_ = true;
    // The platform does not fire a timer again inside its own tick, and the
    // box may stay open for hours on an unattended station: timer 7 is
    // started anew so that its ticks, and the retries, go on behind the box.
    // A write on the writer's thread can fail after the box was cleared or
    // the line disconnected: then there is nothing to go on with.
    if (ticked_) timers_.start(core::timer::kBackup, kPeriodMs);
    prompts_.showMessage(fileErrorMessage(lastResult_, sources_.language()));
}

}  // namespace gaugemon::records
