#include "records/periodic_backup.h"

#include <filesystem>

#include "records/recorder.h"
#include "records/table_file.h"
#include "records/time_stamp.h"

namespace gaugemon::records {

PeriodicBackup::PeriodicBackup(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                               app::TimerSchedule& timers, const app::Clock& clock, app::Prompts& prompts,
                               std::string directory)
    : table_(table),
      codes_(codes),
      sources_(sources),
      timers_(timers),
      clock_(clock),
      prompts_(prompts),
      directory_(std::move(directory)) {}

void PeriodicBackup::setBoxTicked(bool ticked) {
    ticked_ = ticked;
    if (ticked) timers_.start(app::timer::kBackup, kPeriodMs);
    else timers_.stop(app::timer::kBackup);
}

void PeriodicBackup::onDisconnect() { setBoxTicked(false); }

std::string PeriodicBackup::pathFor(const app::LocalDateTime& time) const {
    const auto date = formatDate(time);
    std::string name = "bak";
    name.append(date.data(), date.size());
    name += ".xls";
    return (std::filesystem::path(directory_) / name).string();
}

void PeriodicBackup::onBackupTimer() {
    if (!table_.rowsSinceBackup()) return;
    table_.setRowsSinceBackup(false);
    // A long write is not silence of the instrument.
    if (sources_.connected()) timers_.stop(app::timer::kWatchdog);
    lastResult_ = writeTableFile(table_, sources_, codes_.enabled(), kTabFormat, pathFor(clock_.localNow()));
    if (sources_.connected()) timers_.start(app::timer::kWatchdog, kWatchdogMs);
    if (lastResult_.ok) return;
    table_.setRowsSinceBackup(true);
    if (reporting_) return;
    reporting_ = true;
    prompts_.showMessage(fileErrorMessage(lastResult_, sources_.language()));
    reporting_ = false;
}

}  // namespace gaugemon::records
