// The unattended station killed around the rename of its export file, as a
// service manager's kill -9 after SIGTERM kills it; for the export kill test.
//   export_kill_station <directory> <instant>
// Records a row a second from the in-process instrument until it holds 20,
// then stops as SIGTERM stops it: the backup in <directory>, the journal in
// <directory>/journal, the export file in <directory>/exports. It dies (no
// destructor, nothing flushed) with status 9 at <instant>:
//   before-rename  the export file is whole, not yet under its name
//   after-rename   the export file has its name, its rows are not yet marked
//   after-stop     the stop is over
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <string>
#include <string_view>

#include "headless/headless_station.h"
#include "headless/log_prompts.h"
#include "sim/simulated_ports.h"
#include "station/working_day.h"
#include "support/memory_settings_store.h"
#include "support/virtual_time.h"

using namespace gaugemon;

namespace {

constexpr int kDied = 9;
constexpr uint32_t kRows = 20;
enum class Instant { BeforeRename, AfterRename, AfterStop };
Instant dieAt = Instant::AfterStop;
std::string exportDirectory;

}  // namespace

// Every rename of the program comes here; those of the export file die as asked.
extern "C" int rename(const char* from, const char* to) noexcept {
    const bool exportFile = !exportDirectory.empty() && std::string_view(to).starts_with(exportDirectory);
    if (exportFile && dieAt == Instant::BeforeRename) ::_exit(kDied);
    const int result = ::renameat(AT_FDCWD, from, AT_FDCWD, to);
    if (exportFile && dieAt == Instant::AfterRename) ::_exit(kDied);
    return result;
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) return 2;
    const std::string directory = argv[1];
    const std::string_view instant = argv[2];
    if (instant == "before-rename")
        dieAt = Instant::BeforeRename;
    else if (instant == "after-rename")
        dieAt = Instant::AfterRename;
    else if (instant != "after-stop")
        return 2;
    exportDirectory = directory + "/exports/";

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::VirtualTimerSchedule ownTimers{clock};
    core::MemorySettingsStore settings;
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", testing::WorkingDay::kComId);
    headless::LogPrompts prompts{clock};
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    ports.place(testing::WorkingDay::kPort, testing::WorkingDay::instrument());
    const station::StationSeams seams{settings, timers, clock, line, prompts, directory + "/", directory + "/journal"};
    station::Station model(seams);
    headless::HeadlessStation station(model, seams, ownTimers,
                                      {1.0, exportDirectory, headless::Rotation::Daily, "line1"});
    station.start();
    const bool recorded = clock.runUntil(
        [&] {
            QCoreApplication::processEvents();
            return model.recordTable().rowCount() >= kRows;
        },
        120'000);
    if (!recorded) return 3;
    station.stop();
    ::_exit(kDied);
}
